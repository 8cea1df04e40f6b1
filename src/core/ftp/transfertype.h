#pragma once

// How a file travels: ASCII ("TYPE A", line ends converted) or binary ("TYPE I", byte for byte).
enum class TransferType { Ascii, Binary };
