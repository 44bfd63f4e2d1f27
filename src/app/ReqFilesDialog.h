#pragma once
// "Files to Upload": the files an output run made, offered for upload.
#include <QDialog>
#include <functional>
#include <string>
#include <vector>

class QListWidget;
class QPushButton;

namespace tessaly {

class TwinReqFiles : public QDialog {
    Q_OBJECT
  public:
    // folder: where the files were written; files: the generated files, of
    // which those present in folder are listed by name.
    TwinReqFiles(const std::string& folder, const std::vector<std::string>& files,
                 QWidget* parent = nullptr);

    // Runs the window; true when it was closed by Upload Now. submit runs for
    // "Submit to Google".
    static bool ShowReqFiles(QWidget* parent, const std::string& folder,
                             const std::vector<std::string>& files,
                             std::function<void()> submit = {});

    QListWidget* lstFiles;
    QPushButton* btnFTPFiles;
    QPushButton* btnSubmit;
};

} // namespace tessaly
