#pragma once
// What the desktop program's tests share: the headers most of them use, and the doubles of the
// prompts, the desktop and the environment.
#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>
#include <QTimer>
#include <deque>
#include <functional>
#include <ostream>

#include "Prompter.h"
#include "ResourceIds.h"
#include "Shell.h"

// Texts in a failed expectation read as text.
inline void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}

namespace pellumar::test {

// Records what the program asks of the desktop, which does it or fails as told.
class RecordingShell final : public Shell {
  public:
    bool OpenDocument(const QByteArray& path) override {
        m_calls << "open " + QString::fromUtf8(path);
        m_files << path;
        return m_bDocumentOpens;
    }
    bool OpenUrl(const QString& url) override {
        m_calls << "url " + url;
        return m_bDocumentOpens;
    }
    QString HtmlHandlerCommand() override { return m_strHandler; }
    bool StartProgram(const QString& program, const QStringList& arguments,
                      const QString& folder) override {
        m_calls << "start " + program + " [" + arguments.join("|") + "] in " + folder;
        return m_bProgramStarts;
    }
    bool StartViewer(const QString& program, const QByteArrayList& arguments,
                     const QByteArray& folder) override {
        QStringList decoded;
        for (const QByteArray& argument : arguments) {
            m_files << argument;
            decoded << QString::fromUtf8(argument);
        }
        return StartProgram(program, decoded, QString::fromUtf8(folder));
    }
    QString LastFailure() const override { return m_strFailure; }

    QStringList m_calls;
    QByteArrayList m_files;  // the paths handed over, byte for byte
    QString m_strFailure;
    QString m_strHandler;
    bool m_bDocumentOpens = true;
    bool m_bProgramStarts = true;
};

// Sets an environment variable for as long as it lives, then puts back what was there.
class ScopedEnv final {
  public:
    ScopedEnv(const char* name, const std::string& value) : m_name(name), m_before(qgetenv(name)) {
        qputenv(name, QByteArray::fromStdString(value));
    }
    ~ScopedEnv() { m_before.isNull() ? qunsetenv(m_name) : qputenv(m_name, m_before); }

  private:
    const char* m_name;
    QByteArray m_before;
};

// Answers the prompts from a script, Cancel once it runs out, and records each as
// "caption: text"; the folder and program chosen are given.
class ScriptedPrompter final : public Prompter {
  public:
    void Answer(std::initializer_list<int> answers) { m_answers.insert(m_answers.end(), answers); }
    // Runs while a prompt is up, before it is answered.
    void WhileAsking(std::function<void()> hook) { m_hook = std::move(hook); }

    int Ask(const QString& text, const QString& caption, Buttons, Icon) override {
        m_asked << caption + ": " + text;
        if (m_hook)
            m_hook();
        if (m_answers.empty())
            return kIdCancel;
        const int answer = m_answers.front();
        m_answers.pop_front();
        return answer;
    }
    QString ChooseFolder(const QString& title, const QString& start) override {
        m_asked << "choose: " + title + " at " + start;
        return m_folder;
    }
    QString ChooseProgram(QWidget*) override { return m_program; }

    QStringList m_asked;
    QString m_folder;
    QString m_program;

  private:
    std::deque<int> m_answers;
    std::function<void()> m_hook;
};

}  // namespace pellumar::test
