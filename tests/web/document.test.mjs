// Reading and repairing the stored state document without a browser.
import test from 'node:test';
import assert from 'node:assert/strict';
import { readStateDocument } from '../../web/src/document.js';

const macro = (id, fields = {}) => ({ id, name: `宏 ${id}`, enabled: true, trigger: 'F6', behavior: 'once', text: 'a', hold: 30, gap: 50, steps: [{ key: 'a', hold: 30, gap: 50 }], ...fields });

test('no document gives null; a document of the wrong shape throws', () => {
  assert.equal(readStateDocument(null), null);
  assert.equal(readStateDocument(undefined), null);
  for (const state of [[], {}, { profiles: [] }, { profiles: {} }, { profiles: [null] }, { profiles: [{ id: 1, macros: {} }] },
    { profiles: [{ id: 1, macros: [{ id: 2, steps: ['a'] }] }] }, { profiles: [{ id: 1, macros: [3] }] }]) {
    assert.throws(() => readStateDocument(structuredClone(state)), undefined, JSON.stringify(state));
  }
});

test('a clean document loads unchanged, with its selection and the next id above every id', () => {
  const state = {
    profiles: [
      { id: 1, name: '甲', program: '', macros: [macro(3)] },
      { id: 42, name: '乙', program: 'b.exe', macros: [macro(5), macro(7)] },
    ],
    selectedProfile: 42,
    selectedMacro: 7,
    showMacroNames: false,
    macroEnabled: true,
  };
  const loaded = readStateDocument(structuredClone(state));
  assert.deepEqual(loaded.profiles, state.profiles);
  assert.equal(loaded.repairs, 0);
  assert.equal(loaded.selectedProfile, 42);
  assert.equal(loaded.selectedMacro, 7);
  assert.equal(loaded.showMacroNames, false);
  assert.equal(loaded.macroEnabled, true);
  assert.equal(loaded.nextId, 43);
});

test('selection falls back to the first profile and its first macro; small ids give 11', () => {
  const loaded = readStateDocument({ profiles: [{ id: 1, macros: [macro(2)] }, { id: 3, macros: [] }], selectedProfile: 9, selectedMacro: 9 });
  assert.equal(loaded.selectedProfile, 1);
  assert.equal(loaded.selectedMacro, 2);
  assert.equal(loaded.nextId, 11);
  const empty = readStateDocument({ profiles: [{ id: 3, macros: [] }], selectedProfile: 3 });
  assert.equal(empty.selectedMacro, undefined);
});

test('wrong values are repaired and counted, missing ones take defaults silently', () => {
  const cases = [
    [{ behavior: 'Once' }, (m) => m.behavior === 'once'],
    [{ hold: 0 }, (m) => m.hold === 1],
    [{ hold: 70000.7 }, (m) => m.hold === 60000],
    [{ gap: '5' }, (m) => m.gap === 50],
    [{ trigger: 7 }, (m) => m.trigger === '7'],
    [{ name: null }, (m) => m.name === '未命名宏'],
    [{ text: 3 }, (m) => m.text === 'a'],
    [{ steps: [{ key: 'a', hold: -5, gap: 1.5 }] }, (m) => m.steps[0].hold === 1 && m.steps[0].gap === 1, 2],
  ];
  for (const [fields, check, repairs = 1] of cases) {
    const loaded = readStateDocument({ profiles: [{ id: 1, name: '甲', program: '', macros: [macro(2, fields)] }] });
    assert.equal(loaded.repairs, repairs, JSON.stringify(fields));
    assert.ok(check(loaded.profiles[0].macros[0]), JSON.stringify(fields));
  }
  const bare = readStateDocument({ profiles: [{ id: 1, macros: [{ id: 2, steps: [{ key: 'a' }] }] }] });
  assert.equal(bare.repairs, 0);
  assert.deepEqual(bare.profiles[0].macros[0], {
    id: 2, enabled: true, name: '未命名宏', trigger: '', behavior: 'once', hold: 30, gap: 50,
    steps: [{ key: 'a', hold: 30, gap: 50 }], text: 'a',
  });
  assert.equal(bare.profiles[0].name, '未命名配置');
});

test('ids the host would take for the same macro get fresh ones above every id', () => {
  const loaded = readStateDocument({
    profiles: [
      { id: 1, macros: [macro(2), macro(2.5), macro('x')] },
      { id: 1, macros: [macro(20)] },
    ],
  });
  assert.deepEqual(loaded.profiles[0].macros.map((m) => m.id), [2, 21, 22]);
  assert.equal(loaded.profiles[1].id, 23);
  assert.equal(loaded.repairs, 3);
  assert.equal(loaded.nextId, 24);
});

test('play count, jitter and kept keys are repaired the way the host would accept them', () => {
  const cases = [
    [{ playCount: 0 }, (m) => m.playCount === 1],
    [{ playCount: 2.7 }, (m) => m.playCount === 2],
    [{ playCount: 5000 }, (m) => m.playCount === 1000],
    [{ playCount: '3' }, (m) => m.playCount === 1],
    [{ jitter: -4 }, (m) => m.jitter === 0],
    [{ jitter: 1e9 }, (m) => m.jitter === 1000],
    [{ steps: [{ key: 'a', keep: 'w' }] }, (m) => !('keep' in m.steps[0])],
    [{ steps: [{ key: 'a', release: 'a' }] }, (m) => !('release' in m.steps[0])],
    [{ steps: [{ key: 'w', keep: 'w' }, { key: 'W' }] }, (m) => !('keep' in m.steps[0])],
    [{ behavior: 'repeat', steps: [{ key: 'w', keep: 'w' }] }, (m) => !('keep' in m.steps[0])],
    [{ steps: [{ key: 'w', keep: 7 }] }, (m) => !('keep' in m.steps[0])],
  ];
  for (const [fields, check] of cases) {
    const loaded = readStateDocument({ profiles: [{ id: 1, name: '甲', program: '', macros: [macro(2, fields)] }] });
    assert.equal(loaded.repairs, 1, JSON.stringify(fields));
    assert.ok(check(loaded.profiles[0].macros[0]), JSON.stringify(fields));
  }
  const fine = {
    playCount: 3,
    jitter: 20,
    steps: [{ key: 'w', keep: 'W', hold: 100, gap: 0 }, { key: 'Space', hold: 50, gap: 150 }, { key: '', release: 'w', hold: 1, gap: 0 }],
  };
  const loaded = readStateDocument({ profiles: [{ id: 1, name: '甲', program: '', macros: [macro(2, structuredClone(fine))] }] });
  assert.equal(loaded.repairs, 0);
  assert.deepEqual(loaded.profiles[0].macros[0].steps, fine.steps);
  assert.equal(loaded.profiles[0].macros[0].playCount, 3);
  const absent = readStateDocument({ profiles: [{ id: 1, macros: [{ id: 2 }] }] }).profiles[0].macros[0];
  assert.equal('playCount' in absent, false, 'an absent member stays absent');
});
