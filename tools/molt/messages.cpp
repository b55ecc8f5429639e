#include "messages.h"

#include "core/errors.h"

namespace moltcli {

const char* ErrorName(int code) {
  switch (code) {
#define MOLT_ERROR(number, name, text) \
  case number:                         \
    return #name;
#include "error_texts.def"
#undef MOLT_ERROR
    default:
      return nullptr;
  }
}

// The library's Japanese texts in English, with what the tool knows of each
// code's cause where the Japanese is terse.
const char* EnglishText(int code) {
  switch (code) {
    case 4: return "not enough memory";
    case 7: return "the options are not valid";
    case 21: return "unsupported file system: the current folder's volume does not allow "
                    "names of 255 characters";
    case 31: return "cannot open the input file";
    case 32: return "a read error occurred in the input file";
    case 33: return "a seek error occurred in the input file";
    case 34: return "the input file's data is not valid (format)";
    case 35: return "the input file's data is not valid (EOF): the pack ends inside a record "
                    "or a file's data";
    case 36: return "cannot restore from the given files: a volume is missing or is not the "
                    "one that follows";
    case 37: return "cannot read the input file's header";
    case 38: return "cannot get the input file's size";
    case 39: return "cannot set the input file's file pointer";
    case 40: return "the input file's signature is wrong: not a volume of a pack";
    case 41: return "the specified file was not found";
    case 42: return "failed to create a folder";
    case 43: return "cannot open an output file";
    case 44: return "the disk is full";
    case 45: return "CRC error: the data does not match the file's CRC-32";
    case 46: return "the input file's pack file version is wrong";
    case 47: return "the input file's file number is wrong";
    case 255: return "an error occurred on the way; recovery cannot continue";
    default: return nullptr;
  }
}

bool IsSystemFailure(int code) {
  switch (code) {
    case molt::ERR_INPUT_OPEN:
    case molt::ERR_INPUT_READ:
    case molt::ERR_INPUT_SEEK:
    case molt::ERR_INPUT_SIZE:
    case molt::ERR_INPUT_POINTER:
    case molt::ERR_MAKE_DIRECTORY:
    case molt::ERR_OUTPUT_OPEN:
    case molt::ERR_WRITE_DISK_FULL:
      return true;
    default:
      return false;
  }
}

std::string FailureLine(std::string_view subject, int code, std::string_view detail,
                        std::string_view reason) {
  std::string line = "molt: " + OneLine(subject) + ": ";
  const char* name = ErrorName(code);
  const char* text = EnglishText(code);
  if (name != nullptr && text != nullptr) {
    line += std::string(name) + " (" + std::to_string(code) + "): " + text;
  } else {
    line += "error " + std::to_string(code);
  }
  if (!reason.empty()) line += ": " + OneLine(reason);
  if (!detail.empty()) line += "; " + OneLine(detail);
  return line;
}

std::string OneLine(std::string_view text) {
  std::string line(text);
  for (char& c : line) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F) c = '?';
  }
  return line;
}

}  // namespace moltcli
