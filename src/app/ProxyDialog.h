#pragma once
// "Proxy Server": one proxy or SOCKS server, kept in the per-user store.
#include "ProxySettings.h"

#include <QDialog>

class QComboBox;
class QLineEdit;
class QPushButton;
class QSpinBox;

namespace tessaly {

class TwindowProxy : public QDialog {
    Q_OBJECT
  public:
    // Reads the stored settings (read-only: a missing key means empty fields).
    explicit TwindowProxy(TUserStore store = TUserStore(), QWidget* parent = nullptr);

    // Opens the window modally; true after Ok.
    static bool RunProxyWindow(QWidget* parent, const TUserStore& store = TUserStore());

    const TProxySettings& Settings() const { return settings_; }

  protected:
    void showEvent(QShowEvent* e) override;

  private:
    void OkClick();

    TUserStore store_;
    TProxySettings settings_;
    QLineEdit* Edit1;
    QLineEdit* Edit2;
    QLineEdit* Edit3;
    QSpinBox* SpinEdit1;
    QComboBox* ComboBox1;
    QPushButton* Button1;
    QPushButton* Button2;
};

} // namespace tessaly
