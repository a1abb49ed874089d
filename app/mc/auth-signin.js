'use strict';
// The interactive part of the Microsoft sign-in: PKCE values, the authorize address and
// the sign-in window that waits for Microsoft's redirect back to the native-client page.

const crypto = require('node:crypto');
const endpoints = require('../core/endpoints');
const { confine } = require('../core/window');

const SCOPE = 'XboxLive.signin offline_access';
const WINDOW_TITLE = 'Microsoft ile giriş';
const PARTITION = 'persist:quorlin-login';

/** A fresh PKCE verifier (64 characters), its S256 challenge (43) and a state (24 hex). */
function pkce() {
  const verifier = crypto.randomBytes(48).toString('base64url');
  const challenge = crypto.createHash('sha256').update(verifier).digest('base64url');
  const state = crypto.randomBytes(12).toString('hex');
  return { verifier, challenge, state };
}

/** The authorize address; the parameters go in the order Microsoft documents them. */
function authorizeUrl(loginBase, clientId, redirect, challenge, state) {
  const query = new URLSearchParams([
    ['client_id', clientId],
    ['response_type', 'code'],
    ['redirect_uri', redirect],
    ['response_mode', 'query'],
    ['scope', SCOPE],
    ['code_challenge', challenge],
    ['code_challenge_method', 'S256'],
    ['state', state],
    ['prompt', 'select_account'],
  ]);
  return loginBase + '/consumers/oauth2/v2.0/authorize?' + query.toString();
}

/** Options of the sign-in window: its own persistent session, sandboxed, modal to `parent`. */
function signInWindowOptions(parent) {
  return {
    width: 520,
    height: 680,
    parent: parent || undefined,
    modal: Boolean(parent),
    title: WINDOW_TITLE,
    autoHideMenuBar: true,
    backgroundColor: '#ffffff',
    webPreferences: {
      partition: PARTITION,
      sandbox: true,
      contextIsolation: true,
      nodeIntegration: false,
    },
  };
}

/**
 * Decides a redirect address that reached the native-client page: the authorization code,
 * or a thrown error (Microsoft's description, its error code, or "Geçersiz yanıt").
 */
function codeFromRedirect(address, state) {
  const query = new URL(address).searchParams;
  if (query.has('error')) {
    throw new Error(query.get('error_description') || query.get('error'));
  }
  // A code that comes without our state may belong to another sign-in: never redeem it.
  if (query.get('state') !== state) throw new Error('Geçersiz yanıt');
  const code = query.get('code');
  if (!code) throw new Error('Geçersiz yanıt');
  return code;
}

function originOf(url) {
  try {
    return new URL(url).origin;
  } catch {
    return null;
  }
}

/**
 * Whether the sign-in window may go where `details` says: its page only to the hosts of the
 * authorize and redirect addresses and Microsoft's account pages. What those pages load in
 * their own frames is theirs.
 */
function signInMayGo(details, address, redirect) {
  if (!details.isMainFrame) return true;
  const allowed = [address, redirect, ...endpoints.microsoftAccountPages].map(originOf);
  const origin = originOf(details.url);
  return origin !== null && allowed.includes(origin);
}

/**
 * Opens the sign-in window on `address` and resolves to the authorization code once the
 * window is about to show (or shows) an address starting with `redirect`. Rejects with the
 * redirect's error, with a message when the sign-in page cannot be loaded at all, or with
 * "CANCELLED" when the user closes the window before that.
 */
function waitForCode(BrowserWindow, parent, address, redirect, state) {
  return new Promise((resolve, reject) => {
    const win = new BrowserWindow(signInWindowOptions(parent));
    // the account's e-mail and password never reach a stream or a screen recording
    win.setContentProtection(true);
    let done = false;

    // Settles once; the window goes on the next turn of the event loop.
    function end(settle) {
      done = true;
      settle();
      setImmediate(() => {
        if (!win.isDestroyed()) win.close();
      });
    }

    function match(url) {
      end(() => {
        try {
          resolve(codeFromRedirect(url, state));
        } catch (err) {
          reject(err);
        }
      });
    }

    function onWill(details) {
      const url = details && details.url;
      if (typeof url !== 'string' || !url.startsWith(redirect)) return;
      // The native-client page itself is never loaded: its address is all we need.
      details.preventDefault();
      if (!done) match(url);
    }

    confine(win.webContents, (details) => signInMayGo(details, address, redirect));
    win.webContents.on('will-redirect', onWill);
    win.webContents.on('will-navigate', onWill);
    win.webContents.on('did-navigate', (event, url) => {
      if (!done && typeof url === 'string' && url.startsWith(redirect)) match(url);
    });
    // After a match the promise is settled already, so a later close changes nothing.
    win.on('closed', () => reject(new Error('CANCELLED')));
    // A failed first page would leave an empty window whose closing reads as a cancel, so
    // the failure is reported instead. ERR_ABORTED is our own cancelled redirect, or the
    // page moving on before it finished loading: no failure.
    win.loadURL(address).catch((err) => {
      if (done || err.code === 'ERR_ABORTED') return;
      end(() => reject(new Error(`Microsoft giriş sayfası açılamadı (${err.code}). İnternet bağlantını kontrol et.`)));
    });
  });
}

module.exports = { SCOPE, pkce, authorizeUrl, waitForCode };
