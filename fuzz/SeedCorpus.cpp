// Writes the seed corpus of the receive fuzz target into the folder given as
// the only argument: one file per worked answer of each answer type the
// panel handles (valves, gauges, pumps, flows, electrode position and
// cooling, uptime), the warnings and other messages, and the ways a line can
// break (wrong checksum, too short, split over reads, overlong). Answers are
// framed with their real checksum, so the fuzzer starts from inputs that
// reach the decoders.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "FuzzInput.h"
#include "SeedFolder.h"
#include "link/Frame.h"

namespace {

using halvorn::BuildFrame;
using halvorn::fuzz::EncodeFuzzInput;

std::string Bytes(std::initializer_list<int> values) {
  std::string bytes;
  for (const int v : values) bytes += static_cast<char>(v);
  return bytes;
}

const std::string kOk = Bytes({140});

std::string Valves(int state) { return "061__" + std::string(16, static_cast<char>(state)); }

std::string Gauges(const std::string& field) {
  std::string text = "060__";
  for (int n = 0; n < 8; ++n) text += field;
  return text;
}

std::string Flows(const std::string& field) {
  std::string text = "063__";
  for (int n = 0; n < 4; ++n) text += field;
  return text;
}

// Cuts `line` into reads at the given offsets.
std::vector<std::string> CutAt(const std::string& line, std::initializer_list<std::size_t> cuts) {
  std::vector<std::string> reads;
  std::size_t from = 0;
  for (const std::size_t at : cuts) {
    reads.push_back(line.substr(from, at - from));
    from = at;
  }
  reads.push_back(line.substr(from));
  return reads;
}

struct Seed {
  std::string name;
  std::vector<std::string> reads;
  bool fixChecksums = false;
};

std::vector<Seed> Seeds() {
  std::vector<Seed> seeds;
  const auto add = [&](std::string name, std::string line) {
    seeds.push_back({std::move(name), {std::move(line)}});
  };

  // Valves: all open, all closed, each of the states and faults once.
  add("valves-all-open", BuildFrame(Valves(24)));
  add("valves-all-closed", BuildFrame(Valves(23)));
  add("valves-mixed", BuildFrame("061__" + Bytes({24, 23, 140, 160, 25, 107, 108, 109, 110, 111,
                                                  112, 151, 152, 154, 155, 159})));
  add("valves-short", BuildFrame(Valves(24).substr(0, 20)));

  // Gauges: the worked readings, the two bounds, over range, a fault.
  add("gauges-mixed",
      BuildFrame("060__" + kOk + "123415" + kOk + "500022" + kOk + "100020" + kOk + "250000" + kOk +
                 "000015" + kOk + "000000" + kOk + "000000" + kOk + "999999"));
  add("gauges-below-range", BuildFrame(Gauges(kOk + "000000")));
  add("gauges-fault", BuildFrame(Gauges(Bytes({159}) + "123415")));
  add("gauges-lenient-exponent", BuildFrame(Gauges(kOk + "1234-5")));

  // Pumps: started, accelerating, stopped; then "ok" and a bus fault.
  add("pumps-running-up", BuildFrame("062__" + Bytes({46, 44, 43})));
  add("pumps-faults", BuildFrame("062__" + Bytes({140, 159, 45})));

  // Flows: valid readings, a fault, and two of each.
  add("flows-valid", BuildFrame(Flows(kOk + "12.5")));
  add("flows-fault", BuildFrame(Flows(Bytes({151}) + "12.5")));
  add("flows-mixed", BuildFrame("063__" + kOk + "12.5" + Bytes({160}) + "xxxx" + kOk + "99.9" +
                                Bytes({160}) + "0000"));

  // Electrode position and cooling.
  add("electrode-in", BuildFrame("081_R"));
  add("electrode-out", BuildFrame("081_S"));
  add("electrode-middle", BuildFrame("081_T"));
  add("electrode-error", BuildFrame("081_r"));
  add("cooling-running", BuildFrame("121_z"));
  add("cooling-stopped", BuildFrame("121_{"));
  add("cooling-error", BuildFrame("121_x"));

  // Uptime, in full and cut short.
  add("uptime", BuildFrame("010__0000003600"));
  add("uptime-short", BuildFrame("010__12ab"));

  // Warnings and other messages.
  add("warnings", BuildFrame("100") + BuildFrame("105") + BuildFrame("106"));
  std::string elevenWarnings;
  for (int i = 0; i < 11; ++i) elevenWarnings += BuildFrame("105");
  add("warnings-eleven", elevenWarnings);
  add("other-messages", BuildFrame("999") + BuildFrame("020_05") + BuildFrame("000"));

  // Broken lines: a wrong checksum, too short for one, an empty line.
  add("checksum-wrong", "061_245\r");
  add("too-short", "12\r\r999_000\r");

  // A poll cycle's answers in one read.
  add("poll-cycle", BuildFrame(Valves(24)) + BuildFrame(Gauges(kOk + "123415")) +
                        BuildFrame("062__" + Bytes({46, 46, 46})) +
                        BuildFrame(Flows(kOk + "50.0")) + BuildFrame("081_S") +
                        BuildFrame("121_z") + BuildFrame("010__0000000042"));

  // The same answer split over three reads.
  seeds.push_back({"valves-in-three-reads", CutAt(BuildFrame(Valves(24)), {5, 17})});
  // 200 bytes and then 56: exactly 256 are kept; one more empties the buffer.
  seeds.push_back(
      {"buffer-at-the-bound", {std::string(200, 'a'), std::string(56, 'b'), "c\r105218\r"}});
  // Five answers and filler in one read of 300 bytes: all thrown away.
  std::string overlong;
  for (int i = 0; i < 5; ++i) overlong += BuildFrame("9" + std::to_string(10 + i));
  overlong += std::string(300 - overlong.size(), 'x');
  add("overlong-read", overlong + "\r" + BuildFrame("105"));

  // Mutated answers with their checksum fields put right by the target.
  seeds.push_back(
      {"fixed-checksums", {Valves(140) + "000\r" + Gauges(kOk + "99x9-3") + "000\r"}, true});
  return seeds;
}

}  // namespace

int main(int argc, char** argv) {
  const std::filesystem::path folder = halvorn::fuzz::SeedFolderArgument(argc, argv);
  if (folder.empty()) return 2;
  halvorn::fuzz::SeedFiles files;
  for (const Seed& seed : Seeds())
    files.emplace_back(seed.name, EncodeFuzzInput(seed.reads, seed.fixChecksums));
  return halvorn::fuzz::WriteSeedFolder(folder, files) ? 0 : 1;
}
