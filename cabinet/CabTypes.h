#pragma once

#include <QObject>
#include <QString>
#include <functional>

namespace quorvel {

// Settings and event types of the cabinet component.
namespace Cab {
Q_NAMESPACE

enum TCompressionType : quint8 { typNone, typMSZIP, typLZX };
Q_ENUM_NS(TCompressionType)

enum TLZXMemory : quint8 { lzxLowest, lzxLower, lzxLow, lzxMedium, lzxHigh, lzxHigher, lzxHighest };
Q_ENUM_NS(TLZXMemory)

} // namespace Cab

using Cab::TCompressionType;
using Cab::TLZXMemory;
using enum Cab::TCompressionType;
using enum Cab::TLZXMemory;

// Events; Sender is the component that raises them.
using TCompressProgress = std::function<void(QObject* Sender, qint64 pos, qint64 tot)>;
// pos: bytes written so far for FileName (as stored in the cabinet); tot: its size.
using TDeCompressProgress =
    std::function<void(QObject* Sender, const QString& FileName, qint64 pos, qint64 tot)>;
// FileName: full path of a file that already exists; set Allow to false to keep it.
using TOverWriteFile = std::function<void(QObject* Sender, const QString& FileName, bool& Allow)>;

} // namespace quorvel
