#include "cli/EditorView.h"

#include "config/EditorPages.h"

#include <QWidget>
#include <functional>

namespace {
TEditorView inEditor(const ConfigImage& image, const std::function<void(TEditorPages&)>& load) {
    QWidget holder;
    TEditorPages pages(&holder, &holder);
    pages.SetFactoryDefaults(); // the editor's state when the window has started
    load(pages);
    TEditorView view;
    view.settings = pages.ReadSettings();
    view.image = image;
    view.checksum = pages.EditorToImage(view.image);
    view.anyExternalRing = pages.AnyExternalRing();
    return view;
}
} // namespace

TEditorView OpenedInEditor(const ConfigImage& image) {
    return inEditor(image, [&](TEditorPages& pages) { pages.ImageToEditor(image); });
}

TEditorView FactoryInEditor(const ConfigImage& reserved) {
    return inEditor(reserved, [](TEditorPages& pages) { pages.SetFactoryDefaults(); });
}
