#pragma once

#include "DateTime.h"
#include "InetError.h"

#include <QString>

#include <cstdint>

namespace quorvel {

class TWebCopy;

// Steps shared by the uploads, the FTP routines and the file copy, beside
// those of TransferSteps.
namespace RoutineSteps {

// The target path formed from the folder and the file name (or the source's
// last segment when empty), both in either separator spelling, in the file
// system's spelling ("/"); recorded, with the folder, as the engine's last
// target.
QString FormTargetPath(TWebCopy& engine, const QString& targetDir, const QString& targetFilename,
                       const QString& source);
// The overwrite question: true when no file is there, or OnCopyOverWrite
// (when bound) lets it be replaced.
bool AllowOverwrite(TWebCopy& engine, const QString& targetPath);

// The file copy's progress after each round: OnCopyProgress first, then the
// bar (100 for an empty source), the progress line always in its long form,
// the rate line, the completion title and the time-left line.
void CopyProgressStep(TWebCopy& engine, std::uint64_t done, std::uint64_t total, std::uint32_t startTick,
                      const QString& verb);

// The date check of a source (remote or local) file. With an OnFileDateCheck
// handler the handler decides; otherwise the source must be strictly newer
// than date, else noNewFile is set and OnNoNewFileFound raised with name.
// date takes the source date either way, except when a handler refuses and
// onRefusal keeps it. False: end the job.
enum class DateOnRefusal { Taken, Kept };
bool CheckSourceDate(TWebCopy& engine, int idx, TDateTime sourceDate, const QString& name, TDateTime& date,
                     bool& noNewFile, DateOnRefusal onRefusal = DateOnRefusal::Taken);

// Reports a failed internet operation: OnError and OnErrorInfo with its code
// and text; a failure that left no code counts as an aborted connection.
void ReportInetError(TWebCopy& engine, InetError code);

} // namespace RoutineSteps

} // namespace quorvel
