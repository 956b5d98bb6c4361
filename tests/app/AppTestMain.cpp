// Runs the desktop program's tests in a QApplication without a display and with a settings
// folder of the run's own, so that the user's real configuration is never touched.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <QApplication>
#include <filesystem>
#include <string>

namespace {

// The platform without a display says for every window that it cannot pass size hints on.
QtMessageHandler g_defaultHandler = nullptr;

void QuietHandler(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (!message.contains(QStringLiteral("propagateSizeHints")))
        g_defaultHandler(type, context, message);
}

}  // namespace

int main(int argc, char** argv) {
    g_defaultHandler = qInstallMessageHandler(QuietHandler);
    std::string config = (std::filesystem::temp_directory_path() / "pellumar-config-XXXXXX");
    if (mkdtemp(config.data()) == nullptr)
        return 2;
    setenv("XDG_CONFIG_HOME", config.c_str(), 1);
    setenv("XDG_RUNTIME_DIR", config.c_str(), 0);
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    int result = 0;
    {
        QApplication app(argc, argv);
        testing::InitGoogleTest(&argc, argv);
        result = RUN_ALL_TESTS();
    }
    std::filesystem::remove_all(config);
    return result;
}
