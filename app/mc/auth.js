'use strict';
// The Microsoft account of the launcher: interactive sign-in, the Xbox Live and Minecraft
// services chain, renewal of the Minecraft token, and the account file. Electron's pieces
// (safeStorage, BrowserWindow, the parent window) come from the caller.

const endpoints = require('../core/endpoints');
const { req } = require('./net');
const { readAccount, writeAccount } = require('./auth-file');
const { SCOPE, pkce, authorizeUrl, waitForCode } = require('./auth-signin');

const RENEW_MARGIN_MS = 5 * 60 * 1000; // 5 min
const DEFAULT_TOKEN_LIFE_S = 86400; // 24 h, when the login answer gives no expiry
// Fixed identifiers that the Xbox services expect, whatever address they are reached at.
const XBOX_SITE_NAME = 'user.auth.xboxlive.com';
const XBOX_RELYING_PARTY = 'http://auth.xboxlive.com';
const MINECRAFT_RELYING_PARTY = 'rp://api.minecraftservices.com/';

const XERR_MESSAGES = {
  2148916233: "Bu Microsoft hesabının Xbox profili yok. xbox.com'a bir kez giriş yapıp profil oluştur.",
  2148916235: 'Xbox Live bu bölgede kullanılamıyor.',
  2148916238: 'Çocuk hesabı: bir aileye eklenmesi gerekiyor.',
};
const MSG_NOT_SIGNED_IN = 'Giriş yapılmamış';
const MSG_SESSION_EXPIRED = 'Oturum süresi doldu, tekrar giriş yap.';
const MSG_MC_REFUSED = 'Minecraft girişi reddedildi: Quorlin uygulama kimliği Mojang tarafından henüz onaylanmamış olabilir.';
const MSG_NO_PROFILE = "Minecraft profilin yok — minecraft.net'te bir kez kullanıcı adı oluştur.";
const MSG_NO_JAVA = 'Bu hesapta Minecraft: Java Edition yok.';
const MSG_SERVICES_DOWN = 'Minecraft hizmetlerine şu an ulaşılamıyor, biraz sonra tekrar dene.';

function redirectAddress() {
  return endpoints.microsoftLogin + '/common/oauth2/nativeclient';
}

function tokenAddress() {
  return endpoints.microsoftLogin + '/consumers/oauth2/v2.0/token';
}

function text(value) {
  return typeof value === 'string' ? value : '';
}

// Outages (5xx), throttling (429) and time-outs (408): the service gave no verdict on the account.
function isOutage(status) {
  return status >= 500 || status === 408 || status === 429;
}

// The token endpoint judged the grant itself (expired, revoked or unknown refresh token,
// unknown client). An outage is no verdict on the stored account, so it must not sign the user out.
function isRefusal(status) {
  return status >= 400 && !isOutage(status);
}

function microsoftFailure(res) {
  const description = res.json && text(res.json.error_description);
  return new Error('Microsoft girişi başarısız: ' + (description || res.status));
}

/** Microsoft's token answer as `{ access, refresh }`, or the failure to report. */
function tokensOf(res) {
  const access = res.status === 200 && res.json ? text(res.json.access_token) : '';
  if (!access) throw microsoftFailure(res);
  return { access, refresh: text(res.json.refresh_token) };
}

function firstClaim(json) {
  const xui = json && json.DisplayClaims && json.DisplayClaims.xui;
  return Array.isArray(xui) && xui[0] && typeof xui[0] === 'object' ? xui[0] : {};
}

/**
 * The answer of a read from the Minecraft services with `options`, or null when the services
 * gave none: no connection, a time-out, a cut body, an outage or throttling.
 */
async function servicesRead(pathname, options) {
  try {
    const res = await req('GET', endpoints.minecraftServices + pathname, options);
    return isOutage(res.status) ? null : res;
  } catch {
    return null;
  }
}

/**
 * The chain Xbox Live → XSTS → Minecraft services → entitlements → profile, from a Microsoft
 * access token, one request after the other. Resolves to the new account record; stores nothing.
 */
async function chain(msToken, refresh, now) {
  const user = await req('POST', endpoints.xboxUserAuth + '/user/authenticate', {
    json: {
      Properties: { AuthMethod: 'RPS', SiteName: XBOX_SITE_NAME, RpsTicket: 'd=' + msToken },
      RelyingParty: XBOX_RELYING_PARTY,
      TokenType: 'JWT',
    },
  });
  const userToken = user.status === 200 && user.json ? text(user.json.Token) : '';
  const uhs = text(firstClaim(user.json).uhs);
  if (!userToken || !uhs) throw new Error('Xbox Live girişi başarısız (' + user.status + ')');

  const xsts = await req('POST', endpoints.xboxXsts + '/xsts/authorize', {
    json: {
      Properties: { SandboxId: 'RETAIL', UserTokens: [userToken] },
      RelyingParty: MINECRAFT_RELYING_PARTY,
      TokenType: 'JWT',
    },
  });
  const xstsToken = xsts.status === 200 && xsts.json ? text(xsts.json.Token) : '';
  if (!xstsToken) {
    const xerr = xsts.status !== 200 && xsts.json ? xsts.json.XErr : undefined;
    if (Object.hasOwn(XERR_MESSAGES, String(xerr))) throw new Error(XERR_MESSAGES[xerr]);
    throw new Error('Xbox doğrulaması başarısız (' + (xerr || xsts.status) + ')');
  }
  const xuid = text(firstClaim(xsts.json).xid);

  const login = await req('POST', endpoints.minecraftServices + '/authentication/login_with_xbox', {
    json: { identityToken: 'XBL3.0 x=' + uhs + ';' + xstsToken },
  });
  if (login.status === 401 || login.status === 403) throw new Error(MSG_MC_REFUSED);
  const mcToken = login.status === 200 && login.json ? text(login.json.access_token) : '';
  if (!mcToken) throw new Error('Minecraft girişi başarısız (' + login.status + ')');
  const lifeS = Number(login.json.expires_in) > 0 ? Number(login.json.expires_in) : DEFAULT_TOKEN_LIFE_S;

  const bearer = { headers: { Authorization: 'Bearer ' + mcToken } };
  // The entitlements only choose the wording when there is no profile; a failure here
  // must not fail the sign-in.
  const entitlements = await servicesRead('/entitlements/mcstore', bearer);
  const profile = await servicesRead('/minecraft/profile', bearer);
  const json = profile && profile.status === 200 ? profile.json : null;
  if (!json || !text(json.id) || !text(json.name)) {
    // Telling the user the account lacks a profile or the game takes both real answers.
    if (!profile || !entitlements) throw new Error(MSG_SERVICES_DOWN);
    const items = entitlements.json && entitlements.json.items;
    throw new Error(Array.isArray(items) && items.length > 0 ? MSG_NO_PROFILE : MSG_NO_JAVA);
  }

  return {
    name: json.name,
    uuid: json.id,
    mcToken,
    mcExpires: now() + lifeS * 1000,
    refresh,
    xuid,
  };
}

// Makes `record` the signed-in account. The file first: when it cannot be written, the
// previous account stays in force.
function adopt(auth, record) {
  writeAccount(auth.file, auth.safe, record);
  auth.account = record;
  return record;
}

class Auth {
  /**
   * `file`: the account file; `safeStorage`: Electron's facility, or nothing.
   * `options.now` (milliseconds since the epoch) replaces the clock for tests.
   */
  constructor(file, safeStorage, options = {}) {
    this.file = file;
    this.safe = safeStorage || null;
    this.account = null;
    this.now = options.now || Date.now;
    this.load();
  }

  /** Reads the account file; anything unreadable means signed out. */
  load() {
    this.account = readAccount(this.file, this.safe);
  }

  /** Writes the current record to the account file, or deletes the file when signed out. */
  save() {
    writeAccount(this.file, this.safe, this.account);
  }

  logout() {
    this.account = null;
    this.save();
  }

  /** The only part of the account that may leave the main process: `{ name, uuid }` or null. */
  publicInfo() {
    return this.account ? { name: this.account.name, uuid: this.account.uuid } : null;
  }

  /** Interactive sign-in in a child window of `parent`; resolves to `publicInfo()`. */
  async login(clientId, BrowserWindow, parent) {
    if (!clientId) throw new Error('NO_CLIENT_ID');
    const { verifier, challenge, state } = pkce();
    const redirect = redirectAddress();
    const address = authorizeUrl(endpoints.microsoftLogin, clientId, redirect, challenge, state);
    const code = await waitForCode(BrowserWindow, parent, address, redirect, state);
    const res = await req('POST', tokenAddress(), {
      form: {
        client_id: clientId,
        grant_type: 'authorization_code',
        code,
        redirect_uri: redirect,
        code_verifier: verifier,
        scope: SCOPE,
      },
    });
    const tokens = tokensOf(res);
    await this.finish(tokens.access, tokens.refresh);
    return this.publicInfo();
  }

  /** The account record with a Minecraft token valid for more than five more minutes. */
  async refreshIfNeeded(clientId) {
    const account = this.account;
    if (!account) throw new Error(MSG_NOT_SIGNED_IN);
    if (account.mcToken && account.mcExpires > this.now() + RENEW_MARGIN_MS) return account;
    if (!clientId) throw new Error('NO_CLIENT_ID');
    const res = await req('POST', tokenAddress(), {
      form: {
        client_id: clientId,
        grant_type: 'refresh_token',
        refresh_token: account.refresh,
        scope: SCOPE,
      },
    });
    if (isRefusal(res.status)) {
      if (this.account === account) this.logout();
      throw new Error(MSG_SESSION_EXPIRED);
    }
    const tokens = tokensOf(res);
    // Microsoft may keep the refresh token as it is and leave it out of the answer.
    const record = await chain(tokens.access, tokens.refresh || account.refresh, this.now);
    // A sign-out or a new sign-in while the renewal ran has the last word: the renewed
    // record must neither bring back a signed-out account nor replace a newer one.
    if (this.account !== account) {
      if (!this.account) throw new Error(MSG_NOT_SIGNED_IN);
      return this.account;
    }
    return adopt(this, record);
  }

  /** Xbox Live, XSTS and Minecraft services from a Microsoft access token; stores the record. */
  async finish(msToken, refresh) {
    return adopt(this, await chain(msToken, refresh, this.now));
  }
}

module.exports = { Auth };
