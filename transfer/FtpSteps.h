#pragma once

#include "DateTime.h"
#include "InetFtpConnection.h"

#include <QString>

#include <memory>

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

} // namespace FtpSteps
