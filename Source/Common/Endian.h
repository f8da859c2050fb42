#pragma once

// Wide text is converted as UTF-32LE bytes straight into wchar_t storage,
// which is only right on a little-endian host. A big-endian port must convert
// to UTF-32BE instead.
static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__,
              "wide text is read as UTF-32LE in place; this host needs UTF-32BE");
