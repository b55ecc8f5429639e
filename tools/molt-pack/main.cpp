// molt-pack: packs a directory tree into a pack the extractor reads.
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <iostream>

#include "command_line.h"
#include "compressor.h"
#include "disk_volumes.h"
#include "failure.h"
#include "interrupt_cleanup.h"
#include "pack_output.h"
#include "pack_writer.h"
#include "progress.h"
#include "staged_output.h"
#include "system_files.h"
#include "tree_scan.h"
#include "verify.h"
#include "volume_sink.h"

namespace {

namespace fs = std::filesystem;
using namespace moltpack;

constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

#ifndef MOLT_PACK_VERSION
#define MOLT_PACK_VERSION "(unversioned)"
#endif

std::optional<std::string> Environment(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? std::optional<std::string>(value) : std::nullopt;
}

// A PACK-PATH that names no volume fails before anything is scanned.
std::string FirstVolumeName(const std::string& packPath) {
  try {
    return packwriter::FormatVolumeName(packPath, 1);
  } catch (const packwriter::Error& error) {
    throw Failure(packPath, error.what());
  }
}

void WriteListFile(StagedOutput& staged, const std::string& path, const std::vector<std::string>& volumes) {
  const std::string text = packwriter::ListFileText(volumes);
  staged.File(staged.Stage(path)).Append(text.data(), text.size());
}

// Reads the staged volumes back through a list file of their temporary names.
void Verify(StagedOutput& staged, const DiskVolumes& volumes, const std::vector<SourceEntry>& tree,
            ProgressLine& progress) {
  std::vector<std::string> temporary;
  for (const fs::path& path : volumes.TemporaryPaths()) temporary.push_back(path.string());
  fs::path listPath;
  std::unique_ptr<WritableFile> list = staged.Scratch(volumes.Names().front(), listPath);
  const std::string text = packwriter::ListFileText(temporary);
  list->Append(text.data(), text.size());
  list->Close();
  progress.Start("verifying", ContentBytes(tree));
  std::string listArgument = "@";
  listArgument += listPath.string();
  VerifyPack(listArgument, tree, [&progress](std::uint64_t done) { progress.Update(done); });
  staged.RemoveScratch(listPath);
}

void Run(const CommandLine& line, ProgressLine& progress) {
  const std::string firstVolume = FirstVolumeName(line.packPath);
  RefuseOutputInside(firstVolume, line.sourceDir);
  RefuseReplacing(firstVolume);
  if (line.listFile) {
    RefuseOutputInside(*line.listFile, line.sourceDir);
    RefuseReplacing(*line.listFile);
  }

  const std::vector<SourceEntry> tree = ScanSourceTree(line.sourceDir, line.scan, [&line](const std::string& text) {
    if (!line.quiet) std::cerr << "molt-pack: warning: " << text << "\n";
  });

  StagedOutput staged(line.sourceDir);
  DiskVolumes volumes(staged, line.packPath);
  VolumeLayout layout;
  layout.isSet = line.volumeSize != 0;
  if (layout.isSet) layout.maxVolumeSize = line.volumeSize;
  VolumeSink sink(layout, volumes, line.packPath);

  OutputOptions options;
  options.level = line.level;
  options.jobs = line.jobs;
  options.spools.create = [&staged, &firstVolume](fs::path& path) { return staged.Scratch(firstVolume, path); };
  options.spools.remove = [&staged](const fs::path& path) { staged.RemoveScratch(path); };
  options.progress = [&progress](std::uint64_t done) { progress.Update(done); };
  progress.Start("packing", ContentBytes(tree));
  WritePackStream(tree, sink, options);
  sink.Finish();

  if (line.listFile) WriteListFile(staged, *line.listFile, volumes.Names());
  if (line.verify) Verify(staged, volumes, tree, progress);
  staged.Commit();
  progress.Clear();
  RemoveStaleVolumes(line.packPath, static_cast<unsigned>(volumes.Names().size()));
}

}  // namespace

int main(int argc, char** argv) {
  CommandLine line;
  try {
    line = ParseCommandLine(std::vector<std::string>(argv + 1, argv + argc), Environment("SOURCE_DATE_EPOCH"));
  } catch (const UsageError& error) {
    std::cerr << "molt-pack: " << error.message << "\n" << kUsageHint;
    return kExitUsage;
  }
  if (line.help) {
    std::cout << UsageText();
    return 0;
  }
  if (line.version) {
    std::cout << "molt-pack " MOLT_PACK_VERSION "\n" << CompressionLibraries() << "\n";
    return 0;
  }
  ReportFileSizeLimitAsError();
  RemoveTemporaryFilesOnInterrupt();
  ProgressLine progress(stderr, !line.quiet && StandardErrorIsTerminal());
  try {
    Run(line, progress);
  } catch (const RefusedEntries& refused) {
    progress.Clear();
    for (const std::string& refusal : refused.lines()) std::cerr << "molt-pack: " << refusal << "\n";
    return kExitFailure;
  } catch (const std::exception& error) {
    progress.Clear();
    std::cerr << "molt-pack: " << error.what() << "\n";
    return kExitFailure;
  }
  return 0;
}
