// One whole process reading a movie and writing it back, for timing and peak memory from
// outside (compare.py), beside `dd conv=fsync` copying the same file:
//   rewrite_movie --hour out.swf          writes the one-hour stream movie
//   rewrite_movie --whole|--stream in out reads every tag first, or streams them through a
//                                         window over the file
#include <cstdio>
#include <cstring>

#include "HourMovie.h"
#include "flash/swf/SwfReader.h"
#include "flash/swf/SwfStreamCopy.h"

int main(int argc, char** argv) {
  using hourmovie::P;
  if (argc == 3 && std::strcmp(argv[1], "--hour") == 0) return hourmovie::WriteHourMovie(argv[2], true) ? 0 : 1;
  const bool stream = argc == 4 && std::strcmp(argv[1], "--stream") == 0;
  if (argc != 4 || (!stream && std::strcmp(argv[1], "--whole") != 0)) {
    std::fprintf(stderr, "usage: %s --hour out | --whole in out | --stream in out\n", argv[0]);
    return 2;
  }
  SwfReader r;
  if (!(stream ? r.OpenStream(P(argv[2])) : r.ReadAllTagsFromMemory(P(argv[2]), true, 0, true))) return 1;
  SwfMovieWriter w;
  w.SetHeaderFrom(r.header);
  if (!w.Open(P(argv[3]), true)) return 1;
  if (stream) {
    if (!StreamSwfTags(r, w)) return 1;
  } else {
    for (SwfTag* t : r.tags) w.WriteTag(t, false);
    r.tags.clear();
  }
  return w.Close() ? 0 : 1;
}
