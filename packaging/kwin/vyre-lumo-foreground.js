// Loaded by the Vyre Lumo Monitor into KWin: tells the Monitor which
// process owns the active window, so that profiles follow programs.
function report(window) {
    callDBus("com.kalvex.VyreLumo.Monitor", "/Foreground", "com.kalvex.VyreLumo.Foreground", "Activated",
             window ? String(window.pid) : "0", window ? String(window.resourceClass || "") : "");
}
if (workspace.windowActivated) {  // Plasma 6
    workspace.windowActivated.connect(report);
    report(workspace.activeWindow);
} else {  // Plasma 5
    workspace.clientActivated.connect(report);
    report(workspace.activeClient);
}
