#include "ui/qt/ipv4_address_box_qt.h"

#include <QtGui/QAccessible>
#include <QtGui/QKeyEvent>
#include <QtGui/QPainter>
#include <QtGui/QRegularExpressionValidator>
#include <QtWidgets/QAccessibleWidget>
#include <QtWidgets/QLineEdit>

namespace telvane {

namespace {

constexpr int FIELD_COUNT = 4;
constexpr int MAX_FIELD_DIGITS = 3;
constexpr int MAX_FIELD_VALUE = 255;

// Draws the three dots between the fields; the fields themselves are frameless.
class CDots final : public QWidget {
public:
    explicit CDots(QWidget* parent) : QWidget(parent) { setAttribute(Qt::WA_TransparentForMouseEvents); }
    std::array<int, FIELD_COUNT - 1> dot_x{};

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setPen(palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::Text));
        const int baseline = (height() + fontMetrics().ascent() - fontMetrics().descent()) / 2;
        for (const int x : dot_x) painter.drawText(x, baseline, QStringLiteral("."));
    }
};

// To a screen reader the box is a named group of four fields, not a frame (the role Qt
// gives any QFrame, which readers take for a window's frame).
QAccessibleInterface* AddressBoxAccessibleFactory(const QString&, QObject* object) {
    auto* box = dynamic_cast<CIpv4AddressBox*>(object);
    return box != nullptr ? new QAccessibleWidget(box, QAccessible::Grouping) : nullptr;
}

}  // namespace

CIpv4AddressBox::CIpv4AddressBox(QWidget* parent) : QFrame(parent) {
    static const bool factory_installed = [] {
        QAccessible::installFactory(&AddressBoxAccessibleFactory);
        return true;
    }();
    (void)factory_installed;
    setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::Base);
    // The box is one tab stop; Tab leaves it from any field.
    setFocusPolicy(Qt::StrongFocus);
    auto* dots = new CDots(this);
    dots->setObjectName(QStringLiteral("dots"));
    const auto* digits = new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]{0,3}")), this);
    for (int i = 0; i < FIELD_COUNT; ++i) {
        auto* field = new QLineEdit(this);
        field->setObjectName(QStringLiteral("field%1").arg(i));
        field->setFrame(false);
        field->setAlignment(Qt::AlignCenter);
        field->setMaxLength(MAX_FIELD_DIGITS);
        field->setValidator(digits);
        field->setFocusPolicy(Qt::ClickFocus);
        field->setContextMenuPolicy(Qt::NoContextMenu);
        field->installEventFilter(this);
        connect(field, &QLineEdit::textEdited, this, [this, i] { OnFieldEdited(i); });
        connect(field, &QLineEdit::textChanged, this, [this] {
            if (changed_) changed_();
        });
        fields_[static_cast<std::size_t>(i)] = field;
    }
    setFocusProxy(fields_[0]);
    // Anything that asked while the box was still being built got a plain frame's interface.
    if (QAccessible::isActive()) {
        QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(this);
        if (accessible != nullptr && accessible->role() != QAccessible::Grouping)
            QAccessible::deleteAccessibleInterface(QAccessible::uniqueId(accessible));
    }
}

CIpv4AddressBox::~CIpv4AddressBox() = default;

void CIpv4AddressBox::SetAddress(std::uint32_t address) {
    for (int i = 0; i < FIELD_COUNT; ++i) {
        const auto shift = static_cast<unsigned>(8 * (FIELD_COUNT - 1 - i));
        fields_[static_cast<std::size_t>(i)]->setText(QString::number((address >> shift) & 0xFFu));
    }
}

void CIpv4AddressBox::ClearAddress() {
    for (QLineEdit* field : fields_) field->clear();
}

bool CIpv4AddressBox::IsBlank() const {
    for (const QLineEdit* field : fields_)
        if (!field->text().isEmpty()) return false;
    return true;
}

int CIpv4AddressBox::GetAddress(std::uint32_t& address) const {
    address = 0;
    int filled = 0;
    for (int i = 0; i < FIELD_COUNT; ++i) {
        const QString text = fields_[static_cast<std::size_t>(i)]->text();
        std::uint32_t value = 0;
        if (!text.isEmpty()) {
            ++filled;
            value = std::min(text.toUInt(), static_cast<std::uint32_t>(MAX_FIELD_VALUE));
        }
        address = (address << 8) | value;
    }
    return filled;
}

void CIpv4AddressBox::SetChangedHandler(std::function<void()> handler) {
    changed_ = std::move(handler);
}

void CIpv4AddressBox::SetAccessibleLabel(const QString& label) {
    setAccessibleName(label);
    for (int i = 0; i < FIELD_COUNT; ++i)
        fields_[static_cast<std::size_t>(i)]->setAccessibleName(
            QStringLiteral("%1 field %2 of %3").arg(label).arg(i + 1).arg(FIELD_COUNT));
}

QLineEdit* CIpv4AddressBox::Field(int index) const {
    return fields_.at(static_cast<std::size_t>(index));
}

int CIpv4AddressBox::FieldIndex(const QObject* object) const {
    for (int i = 0; i < FIELD_COUNT; ++i)
        if (fields_[static_cast<std::size_t>(i)] == object) return i;
    return -1;
}

void CIpv4AddressBox::FocusField(int index, bool cursor_at_end) {
    QLineEdit* field = fields_[static_cast<std::size_t>(index)];
    field->setFocus(Qt::OtherFocusReason);
    if (cursor_at_end) {
        field->deselect();
        field->setCursorPosition(static_cast<int>(field->text().size()));
    } else {
        field->selectAll();
    }
}

void CIpv4AddressBox::OnFieldEdited(int index) {
    QLineEdit* field = fields_[static_cast<std::size_t>(index)];
    const QString text = field->text();
    if (text.isEmpty()) return;
    // A value above 255 becomes 255, as in the platform's own address control.
    if (text.toUInt() > static_cast<unsigned>(MAX_FIELD_VALUE)) field->setText(QString::number(MAX_FIELD_VALUE));
    // A full field hands the typing on to the next one.
    if (field->text().size() == MAX_FIELD_DIGITS && field->cursorPosition() == MAX_FIELD_DIGITS &&
        index + 1 < FIELD_COUNT) {
        FocusField(index + 1, false);
        advanced_into_ = index + 1;
    }
}

bool CIpv4AddressBox::eventFilter(QObject* watched, QEvent* event) {
    const int index = FieldIndex(watched);
    if (index < 0 || event->type() != QEvent::KeyPress) return QFrame::eventFilter(watched, event);
    const auto* key = static_cast<QKeyEvent*>(event);
    QLineEdit* field = fields_[static_cast<std::size_t>(index)];
    const bool at_start = field->cursorPosition() == 0 && !field->hasSelectedText();
    const bool at_end = field->cursorPosition() == field->text().size() && !field->hasSelectedText();
    const bool advanced_here = advanced_into_ == index;
    advanced_into_ = -1;
    switch (key->key()) {
        case Qt::Key_Period:
        case Qt::Key_Space:
            // '.' moves on from a field that holds something; it never enters the text. The
            // dot that follows three digits ends the field they filled, which has moved on
            // already: typing 192.168.1.20 over an address must not skip a field.
            if (!advanced_here && !field->text().isEmpty() && index + 1 < FIELD_COUNT) FocusField(index + 1, false);
            return true;
        case Qt::Key_Backspace:
            if (at_start && index > 0) {
                FocusField(index - 1, true);
                return true;
            }
            return false;
        case Qt::Key_Left:
            if (at_start && index > 0) {
                FocusField(index - 1, true);
                return true;
            }
            return false;
        case Qt::Key_Right:
            if (at_end && index + 1 < FIELD_COUNT) {
                FocusField(index + 1, false);
                return true;
            }
            return false;
        default:
            return false;
    }
}

void CIpv4AddressBox::resizeEvent(QResizeEvent* event) {
    QFrame::resizeEvent(event);
    LayOutFields();
}

void CIpv4AddressBox::LayOutFields() {
    const QRect inner = contentsRect();
    const int dot_width = fontMetrics().horizontalAdvance(QLatin1Char('.')) + 2;
    const int field_width = (inner.width() - (FIELD_COUNT - 1) * dot_width) / FIELD_COUNT;
    auto* dots = findChild<CDots*>(QStringLiteral("dots"), Qt::FindDirectChildrenOnly);
    dots->setGeometry(inner);
    int x = inner.left();
    for (int i = 0; i < FIELD_COUNT; ++i) {
        fields_[static_cast<std::size_t>(i)]->setGeometry(x, inner.top(), field_width, inner.height());
        x += field_width;
        if (i + 1 < FIELD_COUNT) dots->dot_x[static_cast<std::size_t>(i)] = x - inner.left() + 1;
        x += dot_width;
    }
    dots->raise();
    dots->update();
}

}  // namespace telvane
