#include "Folders.h"
#include "TempConfigHome.h"

#include <QDir>
#include <gtest/gtest.h>

using namespace tessaly;

TEST(Folders, TheDesktopIsTheHomeFolderWhenThereIsNone) {
    // The default page goes to the desktop; a home without a desktop folder
    // must not give a default that cannot be written.
    TempConfigHome home;
    ASSERT_TRUE(home.valid());
    const std::string root =
        QDir(QString::fromStdString(home.path())).canonicalPath().toStdString();
    EXPECT_EQ(QDir(QString::fromStdString(DesktopFolder())).canonicalPath().toStdString(), root);
    ASSERT_TRUE(QDir(QString::fromStdString(home.path())).mkdir("Desktop"));
    EXPECT_EQ(QDir(QString::fromStdString(DesktopFolder())).canonicalPath().toStdString(),
              root + "/Desktop");
}
