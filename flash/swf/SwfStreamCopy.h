#pragma once
// Writing a movie back as it is read: each tag goes to the writer as soon as it is read and
// is deleted there, so no more than one tag is ever held beside the movie's bytes (reading
// every tag first holds a second copy of the whole movie); a reader opened as a stream
// (SwfReader::OpenStream) holds no more than a window of those bytes either.
#include <functional>

class SwfMovieWriter;
class SwfReader;
class SwfTag;

// The tags of the movie `reader` has loaded without its tags or opened as a stream, handed
// one by one to `take`, which owns each; a movie without an End tag gets one. False when the
// movie turns out to be cut (a tag runs past its end, or a stream's file has shrunk).
bool ForEachSwfTag(SwfReader& reader, const std::function<void(SwfTag*)>& take);

// The tags of the movie `reader` has loaded without its tags or opened as a stream (header
// read, position after it) handed to `writer`, which must be open; a movie without an End
// tag gets one, as when its tag list is read whole. False, with the writer left to be abandoned, when the movie
// turns out to be cut (a tag runs past its end, or a stream's file has shrunk).
bool StreamSwfTags(SwfReader& reader, SwfMovieWriter& writer);
