// The KWin script and the GNOME Shell extension run against stand-ins of
// their hosts: each reports the window in front to the Monitor's D-Bus method.
//   node desktop_parts_test.mjs KWIN_SCRIPT EXTENSION_FOLDER
import assert from 'node:assert/strict';
import fs from 'node:fs';
import { register } from 'node:module';
import { pathToFileURL } from 'node:url';
import vm from 'node:vm';

const [kwinScript, extensionFolder] = process.argv.slice(2);
const monitor = ['com.kalvex.VyreLumo.Monitor', '/Foreground', 'com.kalvex.VyreLumo.Foreground', 'Activated'];

// KWin of Plasma 6 and of Plasma 5.
for (const plasma6 of [true, false]) {
    const calls = [];
    let activated;
    const signal = { connect: (f) => { activated = f; } };
    const front = { pid: 42, resourceClass: 'game' };
    const workspace = plasma6 ? { windowActivated: signal, activeWindow: front }
                              : { clientActivated: signal, activeClient: front };
    vm.runInNewContext(fs.readFileSync(kwinScript, 'utf8'), { workspace, callDBus: (...a) => calls.push(a) });
    activated(null);
    assert.deepEqual(calls, [[...monitor, '42', 'game'], [...monitor, '0', '']]);
}

// GNOME Shell: its modules stand in, resolved by a loader hook.
globalThis.dbusCalls = [];
const stubs = {
    'gi://Gio': 'export default { DBus: { session: { call: (...a) => globalThis.dbusCalls.push(a) } }, ' +
                'DBusCallFlags: { NO_AUTO_START: 1 } };',
    'gi://GLib': 'export default { Variant: class { constructor(t, v) { this.type = t; this.value = v; } } };',
    'resource:///org/gnome/shell/extensions/extension.js':
        'export class Extension { constructor(m) { this.metadata = m; } }',
};
register('data:text/javascript,' + encodeURIComponent(`
    const stubs = ${JSON.stringify(stubs)};
    export async function resolve(spec, context, next) {
        if (!(spec in stubs)) return next(spec, context);
        return { url: 'data:text/javascript,' + encodeURIComponent(stubs[spec]), shortCircuit: true };
    }`));
let focus = { get_pid: () => 42, get_gtk_application_id: () => null, get_wm_class: () => 'game' };
let notify, disconnected;
globalThis.global = {
    display: {
        connect: (signal, f) => { assert.equal(signal, 'notify::focus-window'); notify = f; return 7; },
        disconnect: (id) => { disconnected = id; },
        get focus_window() { return focus; },
    },
};
const metadata = JSON.parse(fs.readFileSync(`${extensionFolder}/metadata.json`, 'utf8'));
assert.equal(metadata.uuid, 'vyre-lumo@kalvex.com');
const { default: VyreLumo } = await import(pathToFileURL(`${extensionFolder}/extension.js`));
const extension = new VyreLumo(metadata);
extension.enable();
focus = null;
notify();
extension.disable();
assert.equal(disconnected, 7);
assert.deepEqual(globalThis.dbusCalls.map((c) => [...c.slice(0, 4), c[4].type, ...c[4].value]),
                 [[...monitor, '(ss)', '42', 'game'], [...monitor, '(ss)', '0', '']]);
console.log('the KWin script and the GNOME Shell extension report the window in front');
