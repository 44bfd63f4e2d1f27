#pragma once
#include "ItemProperties.h"

#include <QDialog>

class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QLineEdit;

namespace tessaly {

// "Edit Site Map Item": link text, address, change frequency and priority of
// one item, or frequency and priority of several.
class TfrmSiteMapItemProp : public QDialog {
    Q_OBJECT
  public:
    explicit TfrmSiteMapItemProp(QWidget* parent = nullptr);

    // Shows the dialog modally; the edit on OK, nothing on Cancel.
    static std::optional<ItemEdit> EditSiteMapItem(QWidget* parent, const std::string& fileLabel,
                                                   const std::string& linkText,
                                                   const std::string& linkURL,
                                                   ChangeFreqType changeFreq, double priority,
                                                   const std::string& leftOutReason = {});

  protected:
    bool eventFilter(QObject* watched, QEvent* e) override;

  private:
    QLabel* lblLinkFileName;
    QLineEdit* editLinkText;
    QLineEdit* editLinkURL;
    QComboBox* cboChangeFreq;
    QDoubleSpinBox* spinPriority;
    QCheckBox* chkApplySubProp;
    QCheckBox* chkApplySubPropDef;
    QLabel* lblLeftOut;
    QCheckBox* chkIncludeInMaps;
};

} // namespace tessaly
