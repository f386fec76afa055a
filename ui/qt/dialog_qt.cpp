#include "ui/qt/dialog_qt.h"

#include <QtGui/QAccessible>
#include <QtGui/QCloseEvent>
#include <QtGui/QIcon>
#include <QtGui/QKeyEvent>
#include <QtWidgets/QAccessibleWidget>
#include <QtWidgets/QApplication>
#include <QtWidgets/QComboBox>
#include <QtWidgets/QGroupBox>
#include <QtWidgets/QHeaderView>
#include <QtWidgets/QLabel>
#include <QtWidgets/QLineEdit>
#include <QtWidgets/QProgressBar>
#include <QtWidgets/QPushButton>
#include <QtWidgets/QRadioButton>
#include <QtWidgets/QStyleOptionFrame>
#include <QtWidgets/QStylePainter>
#include <QtWidgets/QTreeWidget>

#include <algorithm>
#include <optional>
#include <stdexcept>

#include "ui/dialog_names.h"
#include "ui/qt/ipv4_address_box_qt.h"

namespace telvane {

namespace {

// The characters whose average width is the horizontal dialog base unit.
constexpr char BASE_UNIT_SAMPLE[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";

// An automatic radio button whose group is kept by the dialog: a user's click checks
// it (a second click leaves it checked) and the dialog clears the rest of its group.
// setChecked from code touches this button only.
// The arrow keys move within the group, as dialog radio groups do; Qt would move to the
// next tab stop instead, since the dialog keeps the group rather than Qt.
class CRadioButton final : public QRadioButton {
public:
    CRadioButton(const QString& text, QWidget* parent, std::function<void(QRadioButton*)> on_user_check,
                 std::function<void(QRadioButton*, bool)> on_arrow)
        : QRadioButton(text, parent), on_user_check_(std::move(on_user_check)), on_arrow_(std::move(on_arrow)) {
        setAutoExclusive(false);
    }

protected:
    void nextCheckState() override {
        setChecked(true);
        on_user_check_(this);
    }
    void keyPressEvent(QKeyEvent* event) override {
        switch (event->key()) {
            case Qt::Key_Up:
            case Qt::Key_Left:
                event->accept();
                on_arrow_(this, false);
                return;
            case Qt::Key_Down:
            case Qt::Key_Right:
                event->accept();
                on_arrow_(this, true);
                return;
            default:
                QRadioButton::keyPressEvent(event);
        }
    }

private:
    std::function<void(QRadioButton*)> on_user_check_;
    std::function<void(QRadioButton*, bool)> on_arrow_;
};

// A caption without its mnemonic marks: "&&" is one ampersand, a lone '&' none.
QString StripMnemonic(const QString& text) {
    QString plain;
    plain.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == QLatin1Char('&') && ++i >= text.size()) break;
        plain += text[i];
    }
    return plain;
}

// Qt takes a checkable button that is not auto-exclusive for a check box. The dialog keeps
// its radio groups itself, so its buttons are not auto-exclusive; a screen reader must
// still hear radio buttons with their checked state, and be able to press them.
class CRadioAccessible final : public QAccessibleWidget {
public:
    explicit CRadioAccessible(QRadioButton* button) : QAccessibleWidget(button, QAccessible::RadioButton) {}

    QAccessible::State state() const override {
        QAccessible::State state = QAccessibleWidget::state();
        state.checkable = true;
        state.checked = Button()->isChecked();
        return state;
    }
    QString text(QAccessible::Text t) const override {
        if (t == QAccessible::Name && widget()->accessibleName().isEmpty()) return StripMnemonic(Button()->text());
        return QAccessibleWidget::text(t);
    }
    QStringList actionNames() const override {
        QStringList names;
        if (widget()->isEnabled()) names << pressAction();
        return names + QAccessibleWidget::actionNames();
    }
    void doAction(const QString& action) override {
        if (action == pressAction() || action == toggleAction()) {
            if (widget()->isEnabled()) Button()->click();
            return;
        }
        QAccessibleWidget::doAction(action);
    }

private:
    QRadioButton* Button() const { return static_cast<QRadioButton*>(widget()); }
};

// Every radio button: the interface is made (and kept) while the button is still being
// constructed, before it is told not to be auto-exclusive.
QAccessibleInterface* RadioAccessibleFactory(const QString&, QObject* object) {
    auto* radio = qobject_cast<QRadioButton*>(object);
    return radio != nullptr ? new CRadioAccessible(radio) : nullptr;
}

// A frame without a caption draws its top line where a caption's middle would be, so
// that a radio button standing on that line covers it, as on the original platform.
class CFrame final : public QGroupBox {
public:
    CFrame(const QString& title, QWidget* parent) : QGroupBox(title, parent) {}

protected:
    void paintEvent(QPaintEvent* event) override {
        if (!title().isEmpty()) {
            QGroupBox::paintEvent(event);
            return;
        }
        QStylePainter painter(this);
        QStyleOptionFrame option;
        option.initFrom(this);
        option.rect = rect().adjusted(0, fontMetrics().height() / 2, 0, 0);
        option.lineWidth = 1;
        option.midLineWidth = 0;
        painter.drawPrimitive(QStyle::PE_FrameGroupBox, option);
    }
};

int MulDiv(int value, int numerator, int denominator) {
    const long long product = static_cast<long long>(value) * numerator;
    const long long half = denominator / 2;
    return static_cast<int>(product >= 0 ? (product + half) / denominator : (product - half) / denominator);
}

QString Utf8(const char* text) {
    return QString::fromUtf8(text != nullptr ? text : "");
}

QString ToQString(std::u16string_view text) {
    return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

CDialog::CDialog(const DLG_TEMPLATE& dialog_template, QWidget* parent)
    : QDialog(parent), CDialogCore(dialog_template) {
    // A top-level application window: caption, system menu, minimise box, fixed frame.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    setWindowTitle(Utf8(Template().title));
    QFont dialog_font(Utf8(Template().font_family), Template().font_point_size);
    setFont(dialog_font);
    const QFontMetrics metrics(font());
    // The platform's rule: average width of A..Z a..z, rounded; the font's full height.
    const int sample_width = metrics.horizontalAdvance(QString::fromLatin1(BASE_UNIT_SAMPLE));
    base_x_ = (sample_width / 26 + 1) / 2;
    base_y_ = metrics.height();
    setFixedSize(MulDiv(Template().cx, base_x_, 4), MulDiv(Template().cy, base_y_, 8));
    // Keys reach the focused control's own handlers first (a push button takes Enter, a
    // field takes Tab); only an application filter sees them before any of those.
    if (qApp != nullptr) qApp->installEventFilter(this);
    static const bool radio_factory_installed = [] {
        QAccessible::installFactory(&RadioAccessibleFactory);
        return true;
    }();
    (void)radio_factory_installed;
}

CDialog::~CDialog() {
    if (qApp != nullptr) qApp->removeEventFilter(this);
}

QRect CDialog::MapDialogRect(int x, int y, int cx, int cy) const {
    return {MulDiv(x, base_x_, 4), MulDiv(y, base_y_, 8), MulDiv(cx, base_x_, 4), MulDiv(cy, base_y_, 8)};
}

void CDialog::Create() {
    if (created_) return;
    created_ = true;
    CreateControls();
    OnInitDialog();
}

int CDialog::DoModal() {
    Create();
    if (!IsEnded()) exec();
    return EndResult();
}

void CDialog::CloseWindow(int result) {
    QDialog::done(result);
}

bool CDialog::ControlActs(int id) const {
    const QWidget* control = GetDlgItem(id);
    return control == nullptr || control->isEnabled();
}

// QDialog's Escape.
void CDialog::reject() {
    DialogKeyCommand(IDCANCEL);
}

void CDialog::accept() {
    DialogKeyCommand(IDOK);
}

namespace {
std::optional<DIALOG_KEY> DialogKeyOf(const QKeyEvent* key) {
    switch (key->key()) {
        case Qt::Key_Escape:
            return DIALOG_KEY::ESCAPE;
        case Qt::Key_Return:
        case Qt::Key_Enter:
            return DIALOG_KEY::ENTER;
        case Qt::Key_Tab:
        case Qt::Key_Backtab:
            return DIALOG_KEY::TAB;
        default:
            return std::nullopt;
    }
}
}  // namespace

bool CDialog::eventFilter(QObject* watched, QEvent* event) {
    // A dialog key that may not act now is taken here, before the focused control's own
    // handlers (a push button takes Enter, a field takes Tab) can act on it.
    if ((event->type() == QEvent::KeyPress || event->type() == QEvent::KeyRelease) && watched->isWidgetType() &&
        static_cast<QWidget*>(watched)->window() == this) {
        const std::optional<DIALOG_KEY> key = DialogKeyOf(static_cast<QKeyEvent*>(event));
        if (key && !DialogKeyActs(*key)) return true;
    }
    return QDialog::eventFilter(watched, event);
}

void CDialog::closeEvent(QCloseEvent* event) {
    event->setAccepted(CloseRequested());
}

void CDialog::CreateControls() {
    QWidget* previous_tab_stop = nullptr;
    for (const DLG_ITEM_TEMPLATE& item : Template().items) {
        QWidget* control = CreateControl(item);
        control->setObjectName(QString::number(item.id));
        control->setEnabled(item.enabled);
        control->setVisible(item.visible);
        controls_.push_back(control);
        if (item.tab_stop) {
            if (previous_tab_stop != nullptr) QWidget::setTabOrder(previous_tab_stop, control);
            previous_tab_stop = control;
        }
    }
    // Frames are drawn beneath the controls inside them and never take their clicks.
    for (QGroupBox* frame : findChildren<QGroupBox*>(Qt::FindDirectChildrenOnly)) frame->lower();
    NameControls();
}

// A label names the control right after it in template order, as the Windows dialog
// manager derives names; the template names the controls that rule misses.
void CDialog::NameControls() {
    for (const DLG_ACCESSIBLE_NAME& name : ControlNames(Template())) {
        QWidget* control = GetDlgItem(name.control_id);
        if (control == nullptr) continue;
        if (name.text != nullptr) {
            control->setAccessibleName(Utf8(name.text));
            if (auto* box = dynamic_cast<CIpv4AddressBox*>(control)) box->SetAccessibleLabel(Utf8(name.text));
        } else if (auto* label = dynamic_cast<QLabel*>(GetDlgItem(name.label_id))) {
            LabelControl(control, label);
        }
    }
}

void CDialog::LabelControl(QWidget* control, QLabel* label) {
    // One label per control: a label the template order gave it wrongly lets go.
    for (QLabel* other : findChildren<QLabel*>(Qt::FindDirectChildrenOnly))
        if (other != label && other->buddy() == control) other->setBuddy(nullptr);
    label->setBuddy(control);
    if (auto* box = dynamic_cast<CIpv4AddressBox*>(control)) box->SetAccessibleLabel(StripMnemonic(label->text()));
}

QWidget* CDialog::CreateControl(const DLG_ITEM_TEMPLATE& item) {
    const QString text = Utf8(item.text);
    const QRect rect = MapDialogRect(item.x, item.y, item.cx, item.cy);
    const Qt::FocusPolicy focus = item.tab_stop ? Qt::StrongFocus : Qt::ClickFocus;
    const int id = item.id;
    QWidget* control = nullptr;
    switch (item.kind) {
        case CONTROL_KIND::LABEL: {
            auto* label = new QLabel(text, this);
            label->setTextFormat(Qt::PlainText);
            label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
            control = label;
            break;
        }
        case CONTROL_KIND::LIST_VIEW: {
            auto* list = new QTreeWidget(this);
            list->setRootIsDecorated(false);
            list->setItemsExpandable(false);
            list->setSelectionMode(QAbstractItemView::SingleSelection);
            list->setSelectionBehavior(QAbstractItemView::SelectRows);
            list->setSortingEnabled(false);
            list->setAllColumnsShowFocus(true);
            list->setUniformRowHeights(true);
            list->setColumnCount(0);
            list->header()->setVisible(true);
            list->header()->setStretchLastSection(false);
            list->header()->setSectionsMovable(false);
            list->setFocusPolicy(focus);
            control = list;
            break;
        }
        case CONTROL_KIND::PROGRESS_BAR: {
            auto* bar = new QProgressBar(this);
            bar->setRange(0, 100);
            bar->setValue(0);
            bar->setTextVisible(false);
            control = bar;
            break;
        }
        case CONTROL_KIND::GROUP_FRAME: {
            auto* frame = new CFrame(text, this);
            frame->setFocusPolicy(Qt::NoFocus);
            frame->setAttribute(Qt::WA_TransparentForMouseEvents);
            control = frame;
            break;
        }
        case CONTROL_KIND::RADIO_BUTTON: {
            auto* radio = new CRadioButton(
                text, this, [this](QRadioButton* b) { OnRadioChecked(b); },
                [this](QRadioButton* b, bool forward) { OnRadioArrow(b, forward); });
            radio->setFocusPolicy(focus);
            // Covers the frame line it stands on.
            radio->setAutoFillBackground(true);
            if (item.group || radio_groups_.empty()) radio_groups_.emplace_back();
            radio_groups_.back().push_back(radio);
            connect(radio, &QAbstractButton::clicked, this, [this, id] { Notify(id, NOTIFICATION::CLICKED); });
            control = radio;
            break;
        }
        case CONTROL_KIND::IPV4_ADDRESS: {
            auto* box = new CIpv4AddressBox(this);
            box->setFocusPolicy(focus);
            box->SetChangedHandler([this, id] { Notify(id, NOTIFICATION::CHANGE); });
            control = box;
            break;
        }
        case CONTROL_KIND::PUSH_BUTTON:
        case CONTROL_KIND::DEFAULT_PUSH_BUTTON: {
            auto* button = new QPushButton(text, this);
            // A focused push button takes Enter; otherwise Enter goes to the default one.
            button->setAutoDefault(true);
            button->setDefault(item.kind == CONTROL_KIND::DEFAULT_PUSH_BUTTON);
            button->setFocusPolicy(focus);
            connect(button, &QAbstractButton::clicked, this, [this, id] { Notify(id, NOTIFICATION::CLICKED); });
            control = button;
            break;
        }
        case CONTROL_KIND::DROP_DOWN_LIST: {
            auto* combo = new QComboBox(this);
            combo->setEditable(false);
            combo->setInsertPolicy(QComboBox::InsertAtBottom);
            combo->setFocusPolicy(focus);
            connect(combo, &QComboBox::activated, this, [this, id] { Notify(id, NOTIFICATION::SELECTION_CHANGE); });
            control = combo;
            // The template's height is the opened list; the closed box is one line high.
            combo->setGeometry(rect.x(), rect.y(), rect.width(), std::min(rect.height(), combo->sizeHint().height()));
            return control;
        }
        case CONTROL_KIND::EDIT: {
            auto* edit = new QLineEdit(this);
            edit->setFocusPolicy(focus);
            connect(edit, &QLineEdit::textChanged, this, [this, id] { Notify(id, NOTIFICATION::CHANGE); });
            control = edit;
            break;
        }
    }
    control->setGeometry(rect);
    return control;
}

void CDialog::OnRadioChecked(QRadioButton* button) {
    for (const auto& group : radio_groups_) {
        if (std::find(group.begin(), group.end(), button) == group.end()) continue;
        for (QRadioButton* other : group)
            if (other != button) other->setChecked(false);
    }
}

// An arrow key on a radio button moves the focus to the next usable button of its group,
// wrapping round, and clicks it, so its handler runs as for a mouse click. Inside a pumped
// wait it is no dialog key and does nothing.
void CDialog::OnRadioArrow(QRadioButton* button, bool forward) {
    if (!DialogKeyActs(DIALOG_KEY::ARROW)) return;
    for (const auto& group : radio_groups_) {
        const auto at = std::find(group.begin(), group.end(), button);
        if (at == group.end()) continue;
        const auto n = static_cast<std::ptrdiff_t>(group.size());
        const std::ptrdiff_t here = at - group.begin();
        for (std::ptrdiff_t step = 1; step < n; ++step) {
            const std::ptrdiff_t next = ((forward ? here + step : here - step) % n + n) % n;
            QRadioButton* other = group[static_cast<std::size_t>(next)];
            if (!other->isEnabled() || other->isHidden()) continue;
            other->setFocus(Qt::OtherFocusReason);
            other->click();
            return;
        }
    }
}

QWidget* CDialog::GetDlgItem(int id) const {
    for (QWidget* control : controls_)
        if (control->objectName() == QString::number(id)) return control;
    return nullptr;
}

namespace {
template <class T>
T* ItemAs(const CDialog& dialog, int id) {
    auto* control = dynamic_cast<T*>(dialog.GetDlgItem(id));
    if (control == nullptr) throw std::logic_error("no control of that kind with ID " + std::to_string(id));
    return control;
}
}  // namespace

CIpv4AddressBox* CDialog::GetAddressBox(int id) const {
    return ItemAs<CIpv4AddressBox>(*this, id);
}

void CDialog::EnableDlgItem(int id, bool enable) {
    ItemAs<QWidget>(*this, id)->setEnabled(enable);
}

bool CDialog::IsDlgItemEnabled(int id) const {
    return !ItemAs<QWidget>(*this, id)->testAttribute(Qt::WA_Disabled);
}

void CDialog::CheckDlgButton(int id, int check) {
    ItemAs<QAbstractButton>(*this, id)->setChecked(check == 1);
}

int CDialog::IsDlgButtonChecked(int id) const {
    return ItemAs<QAbstractButton>(*this, id)->isChecked() ? 1 : 0;
}

void CDialog::SetDlgItemText(int id, std::u16string_view text) {
    QWidget* control = ItemAs<QWidget>(*this, id);
    const QString value = ToQString(text);
    if (auto* edit = dynamic_cast<QLineEdit*>(control))
        edit->setText(value);
    else if (auto* label = dynamic_cast<QLabel*>(control))
        label->setText(value);
    else if (auto* button = dynamic_cast<QAbstractButton*>(control))
        button->setText(value);
    else if (auto* frame = dynamic_cast<QGroupBox*>(control))
        frame->setTitle(value);
    else
        throw std::logic_error("control " + std::to_string(id) + " has no text");
}

std::u16string CDialog::GetDlgItemText(int id) const {
    QWidget* control = ItemAs<QWidget>(*this, id);
    if (auto* edit = dynamic_cast<QLineEdit*>(control)) return edit->text().toStdU16String();
    if (auto* label = dynamic_cast<QLabel*>(control)) return label->text().toStdU16String();
    if (auto* button = dynamic_cast<QAbstractButton*>(control)) return button->text().toStdU16String();
    if (auto* frame = dynamic_cast<QGroupBox*>(control)) return frame->title().toStdU16String();
    if (auto* combo = dynamic_cast<QComboBox*>(control)) return combo->currentText().toStdU16String();
    return {};
}

void CDialog::LimitText(int id, int max_chars) {
    ItemAs<QLineEdit>(*this, id)->setMaxLength(max_chars);
}

int CDialog::ComboAddString(int id, std::u16string_view text) {
    auto* combo = ItemAs<QComboBox>(*this, id);
    const int selected = combo->currentIndex();
    combo->addItem(ToQString(text));
    // Adding a string never selects it; Qt would select the first one added.
    if (combo->currentIndex() != selected) combo->setCurrentIndex(selected);
    return combo->count() - 1;
}

void CDialog::ComboSetCurSel(int id, int index) {
    ItemAs<QComboBox>(*this, id)->setCurrentIndex(index);
}

int CDialog::ComboGetCurSel(int id) const {
    return ItemAs<QComboBox>(*this, id)->currentIndex();
}

int CDialog::ComboGetCount(int id) const {
    return ItemAs<QComboBox>(*this, id)->count();
}

void CDialog::GotoDlgCtrl(int id) {
    ItemAs<QWidget>(*this, id)->setFocus(Qt::OtherFocusReason);
}

void CDialog::SetProgressRange(int id, int low, int high) {
    ItemAs<QProgressBar>(*this, id)->setRange(low, high);
}

void CDialog::SetProgressPos(int id, int pos) {
    ItemAs<QProgressBar>(*this, id)->setValue(pos);
}

void CDialog::SetProgramIcon() {
    setWindowIcon(LoadProgramIcon());
}

}  // namespace telvane
