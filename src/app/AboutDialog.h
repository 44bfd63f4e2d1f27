#pragma once
#include <QDialog>

namespace tessaly {

// The About window: product picture, name, version, web address and contact.
class TfrmSiteMapAbout : public QDialog {
    Q_OBJECT
  public:
    explicit TfrmSiteMapAbout(QWidget* parent = nullptr);
};

} // namespace tessaly
