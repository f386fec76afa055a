#pragma once

// What the window tests share: every message recorded instead of shown, the system
// answers and the adapter list forced, all restored afterwards.

#include <gtest/gtest.h>

#include <QtCore/QObject>
#include <QtGui/QShowEvent>
#include <QtWidgets/QApplication>

#include <string>
#include <vector>

#include "app/telvane_dlg.h"
#include "net/adapters.h"
#include "net/system_checks.h"
#include "net/testing.h"
#include "ui/message_box.h"
#include "ui/testing.h"

namespace telvane {

// Counts main windows that were shown.
class ShowWatcher final : public QObject {
public:
    int shown = 0;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Show && dynamic_cast<CTelvaneDlg*>(watched) != nullptr) ++shown;
        return false;
    }
};

struct AppFixture : ::testing::Test {
    std::vector<std::u16string> messages;
    ShowWatcher watcher;

    void SetUp() override {
        SetMessageBoxHookForTesting([this](const std::u16string& text) { messages.push_back(text); });
        SetStartSocketsForTesting(true);
        SetSupportsFullFunctionForTesting(true);
        SetIpv6AvailableForTesting(true);
        SetAdapters({});
        qApp->installEventFilter(&watcher);
    }
    void TearDown() override {
        qApp->removeEventFilter(&watcher);
        SetMessageBoxHookForTesting({});
        SetStartSocketsForTesting(std::nullopt);
        SetSupportsFullFunctionForTesting(std::nullopt);
        SetIpv6AvailableForTesting(std::nullopt);
        SetAdapterSourceForTesting({});
    }
    static void SetAdapters(std::vector<ADAPTER> adapters) {
        SetAdapterSourceForTesting([adapters] { return adapters; });
    }
    // An adapter whose address no interface holds: opening the socket on it fails
    // before anything is sent.
    static ADAPTER Unreachable(std::uint8_t last = 0x77) {
        return {{0x02, 0x00, 0x5E, 0x00, 0x01, last}, "192.0.2." + std::to_string(last)};
    }
};

}  // namespace telvane
