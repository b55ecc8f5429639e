#include "sample_data.h"

#include <algorithm>
#include <string>

namespace decoder_test {

namespace {

// xorshift32: the same numbers on every system and compiler.
class Random {
 public:
  explicit Random(std::uint32_t seed) : state_(seed * 2654435761u + 1) {}
  std::uint32_t Next() {
    state_ ^= state_ << 13;
    state_ ^= state_ >> 17;
    state_ ^= state_ << 5;
    return state_;
  }
  std::uint32_t Below(std::uint32_t bound) { return Next() % bound; }

 private:
  std::uint32_t state_;
};

std::vector<std::string> Vocabulary(Random& random) {
  static const char* const kSyllables[] = {"ka", "ri", "to", "ne",  "su",  "mo", "la", "pe",
                                           "de", "on", "an", "er",  "in",  "th", "st", "qu",
                                           "al", "or", "es", "ion", "ing", "ed", "re", "co"};
  std::vector<std::string> words;
  for (int i = 0; i < 600; ++i) {
    std::string word;
    const std::uint32_t syllables = 1 + random.Below(4);
    for (std::uint32_t s = 0; s < syllables; ++s) word += kSyllables[random.Below(24)];
    words.push_back(word);
  }
  return words;
}

void MakeText(std::vector<std::uint8_t>& out, std::size_t size, Random& random) {
  const std::vector<std::string> words = Vocabulary(random);
  std::size_t lineLength = 0;
  bool sentenceStart = true;
  while (out.size() < size) {
    // Frequent words come far more often, as in real text.
    const std::uint32_t u = random.Below(1000);
    std::string word = words[(u * u / 1000) * u / 1000 * words.size() / 1000];
    if (sentenceStart) word[0] = static_cast<char>(word[0] - 'a' + 'A');
    sentenceStart = false;
    out.insert(out.end(), word.begin(), word.end());
    lineLength += word.size();
    const std::uint32_t mark = random.Below(20);
    if (mark == 0) {
      out.push_back('.');
      sentenceStart = true;
    } else if (mark == 1) {
      out.push_back(',');
    }
    if (lineLength > 64) {
      out.push_back('\n');
      lineLength = 0;
    } else {
      out.push_back(' ');
      ++lineLength;
    }
  }
}

void MakeBinary(std::vector<std::uint8_t>& out, std::size_t size, Random& random) {
  std::uint32_t counter = random.Next() & 0xFFFF;
  while (out.size() < size) {
    switch (random.Below(4)) {
      case 0:  // a table of growing little-endian numbers
        for (int i = 0; i < 16; ++i) {
          counter += random.Below(64);
          for (int b = 0; b < 4; ++b) out.push_back(static_cast<std::uint8_t>(counter >> (8 * b)));
        }
        break;
      case 1:  // small numbers and padding
        for (int i = 0; i < 64; ++i) {
          const std::uint32_t r = random.Below(8);
          out.push_back(r < 4 ? 0 : r < 5 ? 0xFF : static_cast<std::uint8_t>(random.Below(16)));
        }
        break;
      case 2:  // an earlier record again, slightly changed
        if (out.size() >= 256) {
          const std::size_t from = out.size() - 64 -
                                   random.Below(static_cast<std::uint32_t>(
                                       std::min<std::size_t>(out.size() - 64, 16384)));
          for (int i = 0; i < 64; ++i) {
            out.push_back(random.Below(16) == 0 ? static_cast<std::uint8_t>(random.Next())
                                                : out[from + i]);
          }
          break;
        }
        [[fallthrough]];
      default:  // code-like bytes: any value, some more often
        for (int i = 0; i < 64; ++i) {
          const std::uint32_t r = random.Next();
          out.push_back(static_cast<std::uint8_t>((r & 0x300) == 0 ? r : (r & 0x3F) | 0x40));
        }
        break;
    }
  }
}

void MakeRandom(std::vector<std::uint8_t>& out, std::size_t size, Random& random) {
  while (out.size() < size) out.push_back(static_cast<std::uint8_t>(random.Next() >> 11));
}

void MakeLongRuns(std::vector<std::uint8_t>& out, std::size_t size, Random& random) {
  while (out.size() < size) {
    const auto value = static_cast<std::uint8_t>(random.Below(4) == 0 ? 0 : random.Next());
    const std::uint32_t run = 1 + random.Below(random.Below(2) == 0 ? 16 : 4000);
    out.insert(out.end(), run, value);
  }
}

}  // namespace

const char* SampleName(SampleKind kind) {
  switch (kind) {
    case SampleKind::Text:
      return "text";
    case SampleKind::Binary:
      return "binary";
    case SampleKind::Random:
      return "random";
    case SampleKind::LongRuns:
      return "long-runs";
  }
  return "?";
}

std::vector<std::uint8_t> MakeSample(SampleKind kind, std::size_t size, std::uint32_t seed) {
  Random random(seed);
  std::vector<std::uint8_t> out;
  out.reserve(size + 8192);
  switch (kind) {
    case SampleKind::Text:
      MakeText(out, size, random);
      break;
    case SampleKind::Binary:
      MakeBinary(out, size, random);
      break;
    case SampleKind::Random:
      MakeRandom(out, size, random);
      break;
    case SampleKind::LongRuns:
      MakeLongRuns(out, size, random);
      break;
  }
  out.resize(size);
  return out;
}

}  // namespace decoder_test
