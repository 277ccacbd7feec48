// The decoder's messages, written to standard output before the process ends.
#pragma once

#define JPEG_UNSUPPORTED_FORMAT "Unsupported JPEG format.\n"
#define JPEG_UNSUPPORTED_PLANE_SIZE "Unsupported plane size.\n"
#define JPEG_UNSUPPORTED_SEGMENT "Unsupported segment.\n"
#define JPEG_UNEXPECTED_RESTART "Unexpected termination of restart interval.\n"
#define JPEG_UNEXPECTED_BEGINNING "Unexpected image beginning signal.\n"
#define JPEG_INVALID_TABLE "Invalid huffman table.\n"
#define JPEG_INVALID_CODE "Invalid huffman code.\n"
#define JPEG_UNEXPECTED_MARKER "Unexpected marker.\n"
