#include "DownloadTarget.h"

#include "WebCopyRun.h"

namespace quorvel {

DownloadTarget::DownloadTarget(TWebCopy& engine, int idx, std::size_t capacity, QString source)
    : m_engine(engine), m_idx(idx), m_file(capacity), m_source(std::move(source)),
      m_maxSize(idx >= 0 && idx < engine.Items().Count() ? engine.Items()[idx]->MaxSize : 0) {
    m_file.SetLimit(m_maxSize);
    if (engine.OnDataBlock)
        m_file.SetDataSink([this](const char* data, std::size_t length) {
            m_engine.OnDataBlock(&m_engine, m_idx, data, length);
        });
}

void DownloadTarget::SetTarget(QString targetPath, Words words) {
    m_targetPath = std::move(targetPath);
    m_words = std::move(words);
}

bool DownloadTarget::AllowsSize(std::uint64_t announced) {
    if (m_maxSize == 0 || announced <= m_maxSize)
        return true;
    TWebCopyRun::ReportError(m_engine, WebCopyError::kTooLarge,
                             QStringLiteral("File larger than allowed ") + m_source);
    return false;
}

DownloadTarget::~DownloadTarget() {
    if (!m_finished && m_resume)
        m_file.Keep(*m_resume);
}

bool DownloadTarget::Open(const QString& key) {
    Name(key);
    return Create();
}

void DownloadTarget::Name(const QString& key) {
    m_file.SetPaths(LocalPath(m_targetPath.toStdString()), (key.isEmpty() ? m_source : key).toStdString());
}

bool DownloadTarget::Create() {
    if (m_file.Create())
        return true;
    if (m_file.InUse())
        TWebCopyRun::ReportError(m_engine, WebCopyError::kInUse,
                                 QStringLiteral("File in use by another transfer ") + m_targetPath);
    else
        TWebCopyRun::ReportError(m_engine, WebCopyError::kCannotCreateFile, m_words.createText);
    return false;
}

void DownloadTarget::KeepForResume(ResumeRecord record) {
    m_resume = std::move(record);
    m_checkpointSize = m_file.Size();
    m_checkpointTick = m_engine.TickCount();
    if (!m_file.Checkpoint(*m_resume))
        m_resume.reset(); // what cannot be recorded is not kept
}

void DownloadTarget::Checkpoint() {
    // Often enough that a machine going down costs little, rarely enough
    // that the flushes cost nothing worth measuring.
    constexpr std::uint64_t kBytes = 32 << 20;
    constexpr std::uint32_t kMilliseconds = 2000;
    if (!m_resume || m_file.Size() - m_checkpointSize < kBytes ||
        m_engine.TickCount() - m_checkpointTick < kMilliseconds)
        return;
    m_checkpointSize = m_file.Size();
    m_checkpointTick = m_engine.TickCount();
    if (!m_file.Checkpoint(*m_resume))
        m_resume.reset();
}

void DownloadTarget::ReportWriteFailure() {
    if (m_file.OverLimit())
        TWebCopyRun::ReportError(m_engine, WebCopyError::kTooLarge,
                                 QStringLiteral("File larger than allowed ") + m_source);
    else
        TWebCopyRun::ReportError(m_engine, m_words.writeCode, m_words.writeText);
}

bool DownloadTarget::Finish() {
    m_finished = true;
    if (!m_file.Sync()) {
        ReportWriteFailure();
        m_file.Discard();
        return false;
    }
    if (m_engine.OnVerifyFile) {
        bool accept = true;
        m_engine.OnVerifyFile(&m_engine, m_idx, m_file.Descriptor(),
                              QString::fromStdString(m_file.TemporaryPath()), accept);
        if (!accept) {
            m_file.Discard();
            TWebCopyRun::ReportError(m_engine, WebCopyError::kRefused,
                                     QStringLiteral("File refused ") + m_source);
            return false;
        }
    }
    if (!m_file.Replace()) {
        TWebCopyRun::ReportError(m_engine, WebCopyError::kCannotCreateFile, m_words.createText);
        return false;
    }
    return true;
}

} // namespace quorvel
