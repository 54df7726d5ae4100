#pragma once

#include <QString>

#include <cstdint>

namespace quorvel {

class TProgressWindow;
class TWebCopy;

// Steps shared by the transfer routines.
namespace TransferSteps {

// Writes the file line: "File : [n of m : ]name[ direction server]".
void WriteFileLine(TWebCopy& engine, const QString& name, const QString& direction, const QString& server,
                   bool showServer);

// Forms the target path from the folder, the file name (or the source's last
// segment when empty), both in either separator spelling, in the file
// system's spelling ("/"); records it as the engine's last target, and asks
// OnCopyOverWrite when a file is there. False when the overwrite was refused.
bool SettleTargetPath(TWebCopy& engine, const QString& targetDir, const QString& targetFilename,
                      const QString& source, QString& targetPath);
// The target path alone, as SettleTargetPath forms it; nothing recorded or asked.
QString TargetPathOf(const QString& targetDir, const QString& targetFilename, const QString& source);

// After each block: bar, progress line, OnCopyProgress, completion title,
// rate line and time-left line, in that order. The title, rate and time
// texts of blocks that follow within one tick of the clock are left pending
// (see PublishPendingProgress).
void ProgressStep(TWebCopy& engine, std::uint64_t done, std::uint64_t total, std::uint32_t startTick,
                  const QString& verb);
// The same with the run's progress window (may be null) at hand: a routine
// fetches it once per transfer instead of twice per block.
void ProgressStep(TWebCopy& engine, TProgressWindow* window, std::uint64_t done, std::uint64_t total,
                  std::uint32_t startTick, const QString& verb);
// The same for a resumed download: done and total count the whole file,
// resumed of them were kept from an earlier run, so the rate and the time
// left come from this run's bytes alone.
void ProgressStep(TWebCopy& engine, TProgressWindow* window, std::uint64_t done, std::uint64_t total,
                  std::uint32_t startTick, const QString& verb, std::uint64_t resumed);

// Shows the texts of a block left pending by ProgressStep, if any: called
// when the transfer is about to wait for the network and when a job ends, so
// that the window is never behind the data.
void PublishPendingProgress(TWebCopy& engine);

// Picks up what the progress window's user did since the last call: a Cancel
// press raises OnCopyCancel here, on the worker thread.
void ProcessPendingInput(TWebCopy& engine);
void ProcessPendingInput(TWebCopy& engine, TProgressWindow* window);

// Uploads show their own clip: switches the progress window's animation to it
// and plays it from the start.
void ShowUploadAnimation(TWebCopy& engine);

} // namespace TransferSteps

} // namespace quorvel
