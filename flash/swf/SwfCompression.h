#pragma once
// Converts a finished SWF file between its uncompressed form ("FWS") and its compressed form
// ("CWS": everything after the first eight bytes deflated as one zlib stream). Both
// conversions save safely: the result is written to a temporary file beside the target and
// renamed into place only when complete, so a failure leaves the target as it was.
#include <cstddef>
#include <cstdint>
#include <functional>

#include "framework/platform/PathString.h"

// True when the file starts with "FWS" or "CWS"; false when it cannot be opened.
bool HasSwfSignature(const PathString& path);
// True when the file starts with "CWS".
bool IsCompressedSwfFile(const PathString& path);

// Deflates an "FWS" source into a "CWS" target (type 'SWFL', creator 'SWF2'). An existing
// target is replaced only with `replace`.
bool CompressSwfFile(const PathString& source, const PathString& target, bool replace);
// Inflates a "CWS" source into an "FWS" target. An existing target is replaced only with
// `replace`; false, the target untouched, when it exists and `replace` is false, and when
// the stream does not inflate to exactly the length the header declares (at most the
// readers' limit).
bool DecompressSwfFile(const PathString& source, const PathString& target, bool replace);
// Inflates a "CWS" file in its place; with `keepBackup` the compressed file stays beside it
// under its name followed by "~". A file that is not compressed is left alone (true); a
// failure leaves the file as it was (false).
bool DecompressSwfFileInPlace(const PathString& path, bool keepBackup);

// Receives the bytes of an inflated movie in turn; false stops the inflation.
using SwfByteSink = std::function<bool(const uint8_t* bytes, size_t count)>;
// Inflates the "CWS" file `source` into its "FWS" form, handed to `sink`: the eight header
// bytes, then the inflated body. Stops with success at the end of the zlib stream or once
// `limit` bytes (header included) have been handed over; false when the file is not "CWS",
// the stream is damaged or ends early, or the sink fails. With `exact` the stream must
// inflate to exactly `limit` bytes: fewer or more is a failure.
bool InflateSwfFile(const PathString& source, const SwfByteSink& sink, uint64_t limit, bool exact = false);
