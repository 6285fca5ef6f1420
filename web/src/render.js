// Drawing the model: the sidebar always, and the editor of the current macro or the empty block.
import { clearCapture } from './capture.js';
import { els } from './dom.js';
import { renderEditor } from './editor.js';
import { renderKeyList } from './key-list.js';
import { cancelLiveRecording } from './live-recorder.js';
import { renderTimeline } from './timeline-view.js';
import { renderSidebar } from './macro-list.js';
import { currentMacro } from './model.js';
import { paintTestHighlight } from './test-runner.js';

let renderedMacro = null;

export function render() {
  renderSidebar();
  const macro = currentMacro();
  if (macro !== renderedMacro) {
    // Another macro: the keys captured for the previous one and its test text are not carried over.
    renderedMacro = macro;
    clearCapture();
    cancelLiveRecording();
    els.testOutput.value = '';
  }
  if (!macro) {
    els.editor.hidden = true;
    els.empty.hidden = false;
    return;
  }
  els.editor.hidden = false;
  els.empty.hidden = true;
  renderEditor(macro);
}

// Draws what a change named: 'all', 'sidebar', 'keys' (the current macro's key list) or 'none'.
export function draw(view) {
  if (view === 'all') {
    render();
  } else if (view === 'sidebar') {
    renderSidebar();
  } else if (view === 'keys') {
    const macro = currentMacro();
    if (macro) {
      renderKeyList(macro);
      renderTimeline(macro);
      paintTestHighlight();
    }
  }
}
