// The generated library the scan and start-up benchmarks measure: 2,000 short FLAC files in
// 100 album folders under 10 artist folders, each album folder with a cover image, every tenth
// file with a cue sheet of 12 tracks beside it.
#pragma once

#include <string>
#include <vector>

namespace library {

constexpr int kFolders = 100;
constexpr int kFilesPerFolder = 20;
constexpr int kFiles = kFolders * kFilesPerFolder;
constexpr int kCueTracks = 12;

// Writes the first `files` files of the library (with their folders' covers and cue sheets)
// under `root`, made as needed; false, with nothing said, on failure.
bool write(const std::string &root, int files = kFiles);

// The path of file `n` (0 .. kFiles-1) under `root`.
std::string fileOf(const std::string &root, int n);
// A tenth of a second of 16-bit stereo FLAC, its samples made from `n`, with `comments`
// ("TITLE=...") as its Vorbis comment and, when there is one, `cover` as its front cover.
bool writeTaggedFlac(const std::string &path, const std::vector<std::string> &comments, int n,
                     const std::string &cover = {});
// Writes file `n` again with another title.
bool writeFlac(const std::string &path, const std::string &title, int n);
// The cue sheet of kCueTracks tracks for the FLAC file `file`.
std::string cueSheet(const std::string &file);
bool writeText(const std::string &path, const std::string &text);

}  // namespace library
