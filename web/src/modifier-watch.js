// Modifiers pressed on their own: a press of Ctrl, Alt, Shift or Win waits; released with no other key
// in between, the modifiers pressed make one key group ({Ctrl}, {Ctrl + Shift}).
import { heldModifiers, isModifierEvent, modifierChordText, physicalKey } from './keys.js';

export function modifierWatch() {
  return { names: new Set(), usedByChord: false };
}

// Notes a key press; true when it was a modifier (which waits for its release).
export function watchModifierDown(watch, event) {
  if (!isModifierEvent(event)) {
    watch.usedByChord = watch.names.size > 0 || heldModifiers(event).length > 0;
    return false;
  }
  watch.names.add(physicalKey(event).name);
  return true;
}

// Notes a key release; the modifier group when the last modifier came up with no other key pressed.
export function watchModifierUp(watch, event) {
  if (!isModifierEvent(event) || watch.names.size === 0) return '';
  if (heldModifiers(event).length > 0) return '';
  const text = watch.usedByChord ? '' : modifierChordText(watch.names);
  watch.names.clear();
  watch.usedByChord = false;
  return text;
}

export function resetModifierWatch(watch) {
  watch.names.clear();
  watch.usedByChord = false;
}
