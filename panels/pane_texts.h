#pragma once
// The panes' texts from the current language: entry n, cleaned for display, and the one warning
// a pane gives when any text it needs is missing.

#include <QString>
#include <QStringList>

// The display text of language entry n (from 1); empty when the language has no such entry.
QString PaneText(int entry);

// Shows "Initialize Language Failed !!" once when any of texts is empty; the pane carries on.
void WarnIfAnyTextMissing(const QStringList& texts);
