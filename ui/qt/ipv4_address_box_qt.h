#pragma once

// The four-field IPv4 address box. Blank (all four fields empty) is a state of its
// own, distinct from 0.0.0.0. The address is 32 bits with the first field most
// significant; a field left empty in a box that is not blank counts as 0.

#include <QtWidgets/QFrame>

#include <array>
#include <cstdint>
#include <functional>

class QLineEdit;

namespace telvane {

class CIpv4AddressBox final : public QFrame {
public:
    explicit CIpv4AddressBox(QWidget* parent = nullptr);
    ~CIpv4AddressBox() override;
    Q_DISABLE_COPY_MOVE(CIpv4AddressBox)

    // IPM_SETADDRESS
    void SetAddress(std::uint32_t address);
    // IPM_CLEARADDRESS: all four fields empty.
    void ClearAddress();
    // IPM_ISBLANK
    bool IsBlank() const;
    // IPM_GETADDRESS: fills address (empty fields as 0) and returns how many fields
    // are not empty.
    int GetAddress(std::uint32_t& address) const;

    // Called whenever a field's text changes, by the user or by the calls above.
    void SetChangedHandler(std::function<void()> handler);

    // Names the box for assistive technology after its label, and each field after the
    // label and its place ("IP address: field 1 of 4").
    void SetAccessibleLabel(const QString& label);

    // The field widgets, for tests that type into them.
    QLineEdit* Field(int index) const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    int FieldIndex(const QObject* object) const;
    void FocusField(int index, bool cursor_at_end);
    void OnFieldEdited(int index);
    void LayOutFields();

    std::array<QLineEdit*, 4> fields_{};
    std::function<void()> changed_;
    int advanced_into_ = -1;  // the field a full field just handed the typing to
};

}  // namespace telvane
