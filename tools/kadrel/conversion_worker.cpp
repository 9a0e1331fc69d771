#include "tools/kadrel/conversion_worker.h"

#include <QFile>

#include "engine/convert/record_converter.h"

void ConversionWorker::Run(const QList<int>& ids, const QStringList& recordings, const QString& outputFolder) {
    const CRecordConverter converter(m_cancel);
    const std::string folder = QFile::encodeName(outputFolder).toStdString();
    for (qsizetype i = 0; i < ids.size() && i < recordings.size() && !m_cancel->load(); ++i) {
        const int id = ids[i];
        emit Started(id);
        int shown = -1;
        ConvertResult result = converter.Convert(QFile::encodeName(recordings[i]).toStdString(), folder, [&](double f) {
            const int percent = int(f * 100);
            if (percent != shown) emit Progress(id, shown = percent);
        });
        emit Finished(id, int(result.status), QFile::decodeName(QByteArray::fromStdString(result.outputPath)),
                      QString::fromStdString(result.detail));
    }
    emit AllFinished();
}
