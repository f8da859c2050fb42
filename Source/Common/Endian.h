#pragma once

// The wire formats are little-endian and are moved with block copies, which is
// only right on a little-endian host. A big-endian port must swap each element.
static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__,
              "wire formats are copied as whole runs; this host needs per-element swaps");
