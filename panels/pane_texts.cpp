#include "panels/pane_texts.h"

#include <algorithm>

#include "platform/qt/message_box.h"
#include "language/language_store.h"

QString PaneText(int entry) { return QString::fromStdU16String(LanguageStore::Global().Text(entry)); }

void WarnIfAnyTextMissing(const QStringList& texts) {
    if (std::any_of(texts.begin(), texts.end(), [](const QString& text) { return text.isEmpty(); }))
        platform::AfxMessageBox(QStringLiteral("Initialize Language Failed !!"));
}
