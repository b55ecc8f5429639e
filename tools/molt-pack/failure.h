// How molt-pack reports a failure: the path it concerns and the reason, in
// one line "molt-pack: <path>: <reason>".
#pragma once

#include <stdexcept>
#include <string>

namespace moltpack {

class Failure : public std::runtime_error {
 public:
  Failure(const std::string& path, const std::string& reason) : std::runtime_error(path + ": " + reason) {}
};

}  // namespace moltpack
