#pragma once

#include "ui/MessageBoxes.h"

#include <QCoreApplication>
#include <QList>
#include <QThread>
#include <QtTest>

// Stands in for the real message boxes in window tests: records each box
// instead of blocking in a modal loop.
struct ShownBox
{
    QString caption;
    QString text;
    vidlume::ui::MessageIcon icon;
};

class RecordingMessageBoxes final : public vidlume::ui::MessageBoxes
{
public:
    void show(QWidget*, const QString& caption, const QString& text, vidlume::ui::MessageIcon icon) override
    {
        QVERIFY2(QThread::currentThread() == qApp->thread(), "a box was shown off the window's thread");
        shown.append({caption, text, icon});
    }
    QList<ShownBox> shown;
};
