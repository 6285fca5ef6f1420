// The page's model: every profile and macro, the selection and the two switches that are stored. A
// change is made to these records and then handed to `commit`, which draws it, sends the current
// profile to the host once and queues one save.

export const model = {
  profiles: [{ id: 1, name: '默认配置', program: '', macros: [] }],
  selectedProfile: 1,
  selectedMacro: 1,
  nextId: 10,
  showMacroNames: true,
  macroEnabled: true,
  // True once loading has finished; nothing is saved or sent before.
  ready: false,
};

export function currentProfile() {
  return model.profiles.find((profile) => profile.id === model.selectedProfile) || model.profiles[0];
}

export function currentMacro() {
  const profile = currentProfile();
  if (model.selectedMacro === undefined || model.selectedMacro === null) return null;
  return profile.macros.find((macro) => macro.id === model.selectedMacro) || null;
}

export function takeNextId() {
  const id = model.nextId;
  model.nextId += 1;
  return id;
}

// The body of every save.
export function savedState() {
  const { profiles, selectedProfile, selectedMacro, showMacroNames, macroEnabled } = model;
  return { profiles, selectedProfile, selectedMacro, showMacroNames, macroEnabled };
}

let commitHandler = null;

// Set once at start-up: draws the part named by `view`, sends and saves.
export function setCommitHandler(handler) {
  commitHandler = handler;
}

// One change of the model. `view` is what must be drawn again: 'all', 'sidebar', 'keys' or 'none' (the
// control that made the change shows it already). `publish` false saves without telling the host (the
// host made the change itself).
export function commit({ view = 'all', publish = true } = {}) {
  commitHandler({ view, publish });
}
