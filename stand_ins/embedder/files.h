#ifndef QUORVANTA_STAND_INS_EMBEDDER_FILES_H_
#define QUORVANTA_STAND_INS_EMBEDDER_FILES_H_

#include <cstdint>
#include <string>
#include <vector>

#include "stand_ins/embedder/transcript.h"

namespace stand_in {

// Paths are UTF-8, relative ones taken from the current directory.

[[nodiscard]] bool ReadWholeFile(const std::string& path, std::string* contents);

// Creates missing parent folders; on failure `error` says why.
[[nodiscard]] bool WriteWholeFile(const std::string& path, const std::vector<uint8_t>& bytes,
                                  std::string* error);

// A new, empty file for a transcript copy, in a folder created when missing; null when it cannot
// be created.
Transcript::FileOwner CreateTextFile(const std::string& path);

}  // namespace stand_in

#endif  // QUORVANTA_STAND_INS_EMBEDDER_FILES_H_
