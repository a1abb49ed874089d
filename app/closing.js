// Closing the main window: a local server that this launcher started is stopped in order
// first (when the user wants that), so its world is saved instead of cut off.
const { state } = require('./core/state');
const { send, logFailure } = require('./core/window');

/**
 * Guards `win`'s close. `stopServer()` resolves once the launcher's own server has exited or
 * was killed. While it runs the window carries `__closing`, and further close requests (the
 * title bar's button pressed again) are ignored, so the window closes once, after the server.
 */
function guardClose(win, stopServer) {
  let stopped = false;
  win.on('close', (event) => {
    if (stopped) return;
    if (win.__closing) {
      event.preventDefault();
      return;
    }
    // an outside server found on the port is not in state.server and keeps running
    if (!state.server || !state.settings.stopServerOnExit) return;
    event.preventDefault();
    win.__closing = true;
    send('closing', true);
    Promise.resolve()
      .then(stopServer)
      .catch((err) => logFailure(err, console.log))
      .then(() => {
        stopped = true;
        if (!win.isDestroyed()) win.close();
      });
  });
}

module.exports = { guardClose };
