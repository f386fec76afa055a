// Keystrokes and calls in any order into the four-field IPv4 address box: whatever is
// typed, every field holds nothing or a number up to 255, and the box's answers (blank,
// address, count of filled fields) agree with what the fields show.
#include <QtCore/QCoreApplication>
#include <QtGui/QKeyEvent>
#include <QtWidgets/QApplication>
#include <QtWidgets/QLineEdit>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "ui/ipv4_address_box.h"

// Qt keeps some allocations for the life of the process; they are not ours to find.
extern "C" const char* __asan_default_options() { return "detect_leaks=0"; }

namespace {

QApplication& App() {
    static int argc = 1;
    static char name[] = "fuzz_address_box";
    static char* argv[] = {name, nullptr};
    static QApplication* app = [] {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        return new QApplication(argc, argv);
    }();
    return *app;
}

constexpr Qt::Key KEYS[] = {Qt::Key_0, Qt::Key_1, Qt::Key_2, Qt::Key_5, Qt::Key_9,  Qt::Key_Period, Qt::Key_Backspace,
                            Qt::Key_Delete, Qt::Key_Left, Qt::Key_Right, Qt::Key_Home, Qt::Key_End, Qt::Key_A,
                            Qt::Key_Minus, Qt::Key_Space, Qt::Key_Tab};

QString KeyText(Qt::Key key) {
    if (key >= Qt::Key_0 && key <= Qt::Key_9) return QString(QChar(u'0' + (key - Qt::Key_0)));
    switch (key) {
        case Qt::Key_Period: return QStringLiteral(".");
        case Qt::Key_A: return QStringLiteral("a");
        case Qt::Key_Minus: return QStringLiteral("-");
        case Qt::Key_Space: return QStringLiteral(" ");
        default: return {};
    }
}

void Check(const telvane::CIpv4AddressBox& box) {
    std::uint32_t expected = 0;
    int filled = 0;
    for (int i = 0; i < 4; ++i) {
        const QString text = box.Field(i)->text();
        unsigned value = 0;
        if (!text.isEmpty()) {
            bool ok = false;
            value = text.toUInt(&ok);
            if (!ok || value > 255 || text.size() > 3) std::abort();
            for (QChar c : text)
                if (!c.isDigit()) std::abort();
            ++filled;
        }
        expected = (expected << 8) | value;
    }
    std::uint32_t address = 0xDEADBEEF;
    if (box.GetAddress(address) != filled) std::abort();
    if (address != expected) std::abort();
    if (box.IsBlank() != (filled == 0)) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    App();
    // One box for the whole run, emptied before each input: making widgets anew for every
    // input would only measure Qt's own bookkeeping.
    static telvane::CIpv4AddressBox* box = [] {
        auto* b = new telvane::CIpv4AddressBox();
        b->show();
        return b;
    }();
    box->ClearAddress();
    box->Field(0)->setFocus();
    for (std::size_t i = 0; i < size; ++i) {
        const std::uint8_t op = data[i];
        if (op < 0xE0) {
            // A key typed into whichever field has the focus (the first when none has).
            const Qt::Key key = KEYS[op % std::size(KEYS)];
            QWidget* target = QApplication::focusWidget();
            if (target == nullptr) target = box->Field(0);
            QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, KeyText(key));
            QCoreApplication::sendEvent(target, &press);
        } else if (op < 0xF0 && i + 4 < size) {
            box->SetAddress((std::uint32_t{data[i + 1]} << 24) | (std::uint32_t{data[i + 2]} << 16) |
                            (std::uint32_t{data[i + 3]} << 8) | data[i + 4]);
            i += 4;
        } else if (op < 0xF8) {
            box->ClearAddress();
        } else {
            box->Field(op % 4)->setFocus();
        }
        Check(*box);
    }
    return 0;
}
