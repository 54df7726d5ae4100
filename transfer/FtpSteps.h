#pragma once

#include "DateTime.h"
#include "InetFtpConnection.h"

#include <QString>

#include <memory>

namespace quorvel {

class TWebCopy;

// Steps shared by the FTP download and upload.
namespace FtpSteps {

// Logs in to the job's server on a connection of its own (anonymous unless
// both user and password are set; passive as the engine says). Reports error
// 6 and gives nullptr when that fails.
std::unique_ptr<InetFtpConnection> Connect(TWebCopy& engine, const QString& userId, const QString& password,
                                           const QString& host, int port);

// The last-write time of a listed entry as a date-time value, UTC as the
// server gives it.
TDateTime EntryDate(const InetFtpEntry& entry);

// The date check of a listed remote file. A server that lists the file but
// withholds its date leaves nothing to compare: error 9, and the job ends.
// Otherwise as RoutineSteps::CheckSourceDate. False: end the job.
bool CheckListedDate(TWebCopy& engine, int idx, const InetFtpEntry& entry, const QString& name,
                     const QString& host, TDateTime& date, bool& noNewFile);

} // namespace FtpSteps

} // namespace quorvel
