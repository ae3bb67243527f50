#pragma once

#include "app/FileDialogs.h"

#include <QList>
#include <QStringList>

// Records what each file dialog offered and answers the next path, or cancels when none is left.
// Declared after the window, so that it ends first: then every later dialog is cancelled.
struct FileDialogAnswers {
    QList<TFileDialogRequest> requests;
    QStringList paths;

    template <class Window>
    explicit FileDialogAnswers(Window& window, QStringList answers = {})
        : paths(std::move(answers)), provider_(window.FileDialogProvider) {
        provider_ = [this](const TFileDialogRequest& request) {
            requests << request;
            return paths.isEmpty() ? QString() : paths.takeFirst();
        };
    }
    ~FileDialogAnswers() {
        provider_ = [](const TFileDialogRequest&) { return QString(); };
    }
    FileDialogAnswers(const FileDialogAnswers&) = delete;
    FileDialogAnswers& operator=(const FileDialogAnswers&) = delete;

    // The path the last dialog offered: its folder and its file name.
    QString lastOffered() const { return requests.last().directory + requests.last().fileName; }

private:
    TFileDialogProvider& provider_;
};
