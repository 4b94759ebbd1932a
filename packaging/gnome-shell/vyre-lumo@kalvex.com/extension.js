// Tells the Vyre Lumo Monitor which process owns the focused window, so that
// keyboard profiles follow programs on GNOME.
import Gio from 'gi://Gio';
import GLib from 'gi://GLib';
import {Extension} from 'resource:///org/gnome/shell/extensions/extension.js';

export default class VyreLumoExtension extends Extension {
    enable() {
        this._id = global.display.connect('notify::focus-window', () => this._report());
        this._report();
    }

    disable() {
        global.display.disconnect(this._id);
        this._id = 0;
    }

    _report() {
        const window = global.display.focus_window;
        const pid = window ? String(window.get_pid()) : '0';
        const app = window ? (window.get_gtk_application_id() || window.get_wm_class() || '') : '';
        Gio.DBus.session.call('com.kalvex.VyreLumo.Monitor', '/Foreground', 'com.kalvex.VyreLumo.Foreground',
            'Activated', new GLib.Variant('(ss)', [pid, app]), null, Gio.DBusCallFlags.NO_AUTO_START, 1000,
            null, null);
    }
}
