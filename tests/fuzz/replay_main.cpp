// Stand-in for libFuzzer's driver: every corpus file, then deterministic
// mutations of each (bit flips, truncations, splices, random bytes).
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

using Bytes = std::vector<std::uint8_t>;

void run(const Bytes& input) { LLVMFuzzerTestOneInput(input.data(), input.size()); }

Bytes mutate(const Bytes& seed, std::mt19937& rng) {
  Bytes out = seed;
  const int edits = 1 + static_cast<int>(rng() % 8);
  for (int e = 0; e < edits; ++e) {
    const std::size_t at = out.empty() ? 0 : rng() % out.size();
    switch (rng() % 5) {
      case 0:
        if (!out.empty()) out[at] ^= static_cast<std::uint8_t>(1u << (rng() % 8));
        break;
      case 1:
        if (!out.empty()) out[at] = static_cast<std::uint8_t>(rng());
        break;
      case 2: out.resize(at); break;
      case 3: out.insert(out.begin() + static_cast<std::ptrdiff_t>(at), static_cast<std::uint8_t>(rng())); break;
      case 4: {  // interesting words: zero, -1, NaN, +inf, huge
        const std::uint32_t words[] = {0, 0xFFFFFFFFu, 0x7FC00000u, 0x7F800000u, 0x7F7FFFFFu, 0x80000000u};
        const std::uint32_t w = words[rng() % std::size(words)];
        const std::size_t pos = at & ~std::size_t{3};
        for (int b = 0; b < 4 && pos + b < out.size(); ++b) out[pos + b] = static_cast<std::uint8_t>(w >> (8 * b));
        break;
      }
    }
  }
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<Bytes> seeds;
  for (int i = 1; i < argc; ++i) {
    for (const auto& entry : std::filesystem::directory_iterator(argv[i])) {
      std::ifstream in(entry.path(), std::ios::binary);
      seeds.emplace_back(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
  }
  std::mt19937 rng(20261207);
  std::size_t runs = 0;
  for (const Bytes& seed : seeds) {
    run(seed);
    for (int i = 0; i < 3000; ++i, ++runs) run(mutate(seed, rng));
  }
  for (int i = 0; i < 2000; ++i, ++runs) {
    Bytes noise(rng() % 1024);
    for (auto& b : noise) b = static_cast<std::uint8_t>(rng());
    run(noise);
  }
  std::printf("replayed %zu seeds and %zu mutations\n", seeds.size(), runs);
  return 0;
}
