#include "DownloadTarget.h"

#include "WebCopy.h"

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
    m_engine.ReportError(WebCopyError::kTooLarge, QStringLiteral("File larger than allowed ") + m_source);
    return false;
}

bool DownloadTarget::Open(const QString& key) {
    if (m_file.Open(LocalPath(m_targetPath.toStdString()), (key.isEmpty() ? m_source : key).toStdString()))
        return true;
    m_engine.ReportError(WebCopyError::kCannotCreateFile, m_words.createText);
    return false;
}

void DownloadTarget::ReportWriteFailure() {
    if (m_file.OverLimit())
        m_engine.ReportError(WebCopyError::kTooLarge, QStringLiteral("File larger than allowed ") + m_source);
    else
        m_engine.ReportError(m_words.writeCode, m_words.writeText);
}

bool DownloadTarget::Finish() {
    if (!m_file.Sync()) {
        ReportWriteFailure();
        m_file.Discard();
        return false;
    }
    if (m_engine.OnVerifyFile) {
        bool accept = true;
        m_engine.OnVerifyFile(&m_engine, m_idx, QString::fromStdString(m_file.TemporaryPath()), accept);
        if (!accept) {
            m_file.Discard();
            m_engine.ReportError(WebCopyError::kRefused, QStringLiteral("File refused ") + m_source);
            return false;
        }
    }
    if (!m_file.Replace()) {
        m_engine.ReportError(WebCopyError::kCannotCreateFile, m_words.createText);
        return false;
    }
    return true;
}
