#pragma once

namespace TalmexTest {

// Moves the calling thread, and every thread and process it starts from then
// on, into a network namespace of its own with loopback up: agents started
// there have their ports to themselves. False where that is not allowed.
bool EnterPrivateNetwork();

} // namespace TalmexTest
