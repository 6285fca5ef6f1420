// The stored state document: reading it into page state, repairing what can be repaired without
// guessing, and the shape the page writes back. Pure: no page state, no requests.
import { sequenceText } from './key-text.js';
import { engineKeyList } from './keys.js';

export const BEHAVIORS = ['once', 'hold', 'repeat', 'latch'];
export const MAX_TIME_MS = 60000;
export const MAX_PLAY_COUNT = 1000;
export const MAX_JITTER_MS = 1000;
const MAX_MACROS = 1000;
const MAX_STEPS = 10000;

export function isPlainObject(value) {
  return value !== null && typeof value === 'object' && !Array.isArray(value);
}

// The page state a stored document gives: null when there is none; throws when the document cannot be
// used. `repairs` counts the values that were present but wrong and took a valid value.
export function readStateDocument(state) {
  if (state === null || state === undefined) return null;
  if (!isPlainObject(state) || !Array.isArray(state.profiles) || state.profiles.length === 0) {
    throw new Error('the stored document is not a state document');
  }
  const repairs = { count: 0 };
  const profiles = state.profiles.map((profile) => repairProfile(profile, repairs));
  const nextId = assignFreshIds(profiles, repairs);
  const savedProfile = profiles.find((profile) => profile.id === state.selectedProfile);
  const profile = savedProfile || profiles[0];
  const savedMacro = profile.macros.find((macro) => macro.id === state.selectedMacro);
  return {
    profiles,
    selectedProfile: profile.id,
    selectedMacro: savedMacro ? savedMacro.id : profile.macros.length ? profile.macros[0].id : undefined,
    showMacroNames: state.showMacroNames !== false,
    macroEnabled: state.macroEnabled !== false,
    nextId,
    repairs: repairs.count,
  };
}

// Repairs what can be repaired without guessing: a value of the wrong type takes its default, a time out
// of range its nearest valid value, an unknown behaviour "once". A document whose structure is wrong (a
// profile, macro or step that is not an object, lists that are not lists) cannot be used and throws.
export function repairProfile(profile, repairs) {
  if (!isPlainObject(profile)) throw new Error('a profile is not an object');
  const fix = (condition, apply) => {
    if (condition) {
      apply();
      repairs.count += 1;
    }
  };
  // A member that is missing takes its default silently, as the host does; one that is present but wrong
  // is repaired and counted.
  const member = (record, name, fallback, isValid, repair) => {
    if (record[name] === undefined) record[name] = fallback;
    else fix(!isValid(record[name]), () => (record[name] = repair(record[name])));
  };
  const isString = (value) => typeof value === 'string';
  const textOf = (value) => (typeof value === 'number' && Number.isFinite(value) ? String(value) : '');
  member(profile, 'name', '未命名配置', isString, () => '未命名配置');
  member(profile, 'program', '', isString, () => '');
  if (profile.macros === undefined) profile.macros = [];
  if (!Array.isArray(profile.macros) || profile.macros.length > MAX_MACROS) throw new Error('macros is not a list');
  for (const macro of profile.macros) {
    if (!isPlainObject(macro)) throw new Error('a macro is not an object');
    if (typeof macro.enabled !== 'boolean') macro.enabled = true;
    member(macro, 'name', '未命名宏', isString, () => '未命名宏');
    member(macro, 'trigger', '', isString, textOf);
    member(macro, 'behavior', 'once', (value) => BEHAVIORS.includes(value), () => 'once');
    member(macro, 'hold', 30, (value) => validTime(value, 1), (value) => repairedTime(value, 1, 30));
    member(macro, 'gap', 50, (value) => validTime(value, 0), (value) => repairedTime(value, 0, 50));
    if (macro.steps === undefined) macro.steps = [];
    if (!Array.isArray(macro.steps) || macro.steps.length > MAX_STEPS) throw new Error('steps is not a list');
    for (const step of macro.steps) {
      if (!isPlainObject(step)) throw new Error('a step is not an object');
      member(step, 'key', '', isString, textOf);
      member(step, 'hold', 30, (value) => validTime(value, 1), (value) => repairedTime(value, 1, 30));
      member(step, 'gap', 50, (value) => validTime(value, 0), (value) => repairedTime(value, 0, 50));
    }
    member(macro, 'text', sequenceText(macro.steps), isString, () => sequenceText(macro.steps));
    optional(macro, 'playCount', (value) => wholeIn(value, 1, MAX_PLAY_COUNT), (value) => repairedWhole(value, 1, MAX_PLAY_COUNT, 1), repairs);
    optional(macro, 'jitter', (value) => wholeIn(value, 0, MAX_JITTER_MS), (value) => repairedWhole(value, 0, MAX_JITTER_MS, 0), repairs);
    if (!keptKeysFit(macro)) {
      // Overlaps the host would refuse: the steps play one after the other instead.
      for (const step of macro.steps) {
        delete step.keep;
        delete step.release;
      }
      repairs.count += 1;
    }
  }
  return profile;
}

// An optional member: absent stays absent; present and wrong is repaired and counted.
function optional(record, name, isValid, repair, repairs) {
  if (record[name] === undefined || isValid(record[name])) return;
  record[name] = repair(record[name]);
  repairs.count += 1;
}

function wholeIn(value, low, high) {
  return Number.isInteger(value) && value >= low && value <= high;
}

function repairedWhole(value, low, high, fallback) {
  if (typeof value !== 'number' || !Number.isFinite(value)) return fallback;
  return Math.min(high, Math.max(low, Math.trunc(value)));
}

// The host's rule for keys kept down across steps: a step keeps only keys it presses, releases only keys
// that are kept, and presses none that are; rapid fire keeps none.
export function keptKeysFit(macro) {
  const uses = macro.steps.some((step) => step.keep !== undefined || step.release !== undefined);
  if (!uses) return true;
  if (macro.behavior === 'repeat') return false;
  let kept = [];
  for (const step of macro.steps) {
    if ((step.keep !== undefined && typeof step.keep !== 'string') || (step.release !== undefined && typeof step.release !== 'string')) return false;
    const keys = engineKeyList(step.key, true);
    for (const code of engineKeyList(step.release || '', true)) {
      if (!kept.includes(code)) return false;
      kept = kept.filter((held) => held !== code);
    }
    if (keys.some((code) => kept.includes(code))) return false;
    const keep = engineKeyList(step.keep || '', true);
    if (!keep.every((code) => keys.includes(code))) return false;
    kept.push(...keep);
  }
  return true;
}

export function validTime(value, minimum) {
  return Number.isInteger(value) && value >= minimum && value <= MAX_TIME_MS;
}

function repairedTime(value, minimum, fallback) {
  if (typeof value !== 'number' || !Number.isFinite(value)) return fallback;
  return Math.min(MAX_TIME_MS, Math.max(minimum, Math.trunc(value)));
}

// Profiles and macros without a usable id, or with one that an earlier macro of the profile (or an
// earlier profile) has, get fresh ids above every id in the document. Returns the next id to hand out.
function assignFreshIds(list, repairs) {
  const usable = (id) => typeof id === 'number' && Number.isFinite(id);
  let fresh = 1 + Math.max(10, ...list.flatMap((profile) => [profile.id, ...profile.macros.map((macro) => macro.id)]).filter(usable));
  const profileIds = new Set();
  for (const profile of list) {
    if (!usable(profile.id) || profileIds.has(profile.id)) {
      profile.id = fresh++;
      repairs.count += 1;
    }
    profileIds.add(profile.id);
    const macroIds = new Set();
    for (const macro of profile.macros) {
      // The host reads ids as whole numbers: 2 and 2.5 are the same macro there.
      if (!usable(macro.id) || macroIds.has(Math.trunc(macro.id))) {
        macro.id = fresh++;
        repairs.count += 1;
      }
      macroIds.add(Math.trunc(macro.id));
    }
  }
  return fresh;
}
