// Runs the desktop program's tests in a QApplication without a display and with a settings
// folder of the run's own, so that the user's real configuration is never touched.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <QApplication>
#include <QTemporaryDir>

// The platform without a display says for every window that it cannot pass size hints on.
static QtMessageHandler g_defaultHandler = nullptr;

static void QuietHandler(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    if (!text.contains(QStringLiteral("propagateSizeHints")))
        g_defaultHandler(type, context, text);
}

int main(int argc, char** argv) {
    g_defaultHandler = qInstallMessageHandler(QuietHandler);
    const QTemporaryDir config;  // removed with all it holds once the application has gone
    if (!config.isValid())
        return 2;
    setenv("XDG_CONFIG_HOME", config.path().toLocal8Bit().constData(), 1);
    setenv("XDG_RUNTIME_DIR", config.path().toLocal8Bit().constData(), 0);
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
