'use strict';
// Loopback stand-in for the sign-in services (Microsoft authorize and token, Xbox user
// authentication, XSTS, Minecraft services) on one HTTPS world, keeping their state (codes with
// their PKCE challenge, live tokens) and refusing what they refuse with their statuses and bodies.
// `account` is the account behind every sign-in (tests change its fields); `authorize(url)` is the
// redirect address Microsoft's page answers once signed in; `reset()` restores routes and account.

const crypto = require('node:crypto');
const { startWorld, answer, pointEndpoints } = require('./world');

const SCOPE = 'XboxLive.signin offline_access';
const AUTHORIZE_PARAMS = ['client_id', 'response_type', 'redirect_uri', 'response_mode', 'scope',
  'code_challenge', 'code_challenge_method', 'state', 'prompt'];
const CODE_FIELDS = ['client_id', 'grant_type', 'code', 'redirect_uri', 'code_verifier', 'scope'];
const REFRESH_FIELDS = ['client_id', 'grant_type', 'refresh_token', 'scope'];

const token = (prefix) => prefix + '.' + crypto.randomBytes(24).toString('base64url');

const send = (res, status, body, type = 'application/json') => answer(res, { status, body, headers: { 'Content-Type': type } });

const oauthError = (res, status, error, description) => send(res, status,
  { error, error_description: description + '\r\nTrace ID: 0000aaaa-11bb-cccc-dd22-eeeeee333333' }, 'application/json; charset=utf-8');
const servicesError = (res, status, path, errorType, message) => send(res, status,
  { path, errorType, error: errorType, errorMessage: message, developerMessage: message });

const isType = (req, type) => String(req.headers['content-type'] || '').split(';')[0].trim() === type;

function jsonBody(req, body) {
  if (!isType(req, 'application/json') || Number(req.headers['content-length']) !== body.length) return null;
  try {
    return JSON.parse(body.toString('utf8'));
  } catch {
    return null;
  }
}

const bearer = (req) => /^Bearer (.+)$/.exec(String(req.headers.authorization || ''))?.[1];

async function startSigninWorld() {
  const clientId = '00000000-1111-2222-3333-444444444444';
  const world = await startWorld({ https: true });
  const redirectUri = world.url + '/common/oauth2/nativeclient';
  const codes = new Map(); // code -> its PKCE challenge
  const [access, refresh, mcTokens] = [new Set(), new Set(), new Set()];
  const [userTokens, xstsTokens] = [new Map(), new Map()]; // Xbox user and XSTS tokens -> uhs
  const issued = { refresh: [], mc: [] };
  // an XSTS answer for the Minecraft relying party usually carries no xid;
  // mcRefusal { status, body, type } is the answer of login_with_xbox instead of a token
  const defaults = { name: 'Example', id: 'e7d501015f383003a85959995366a06a', uhs: '23423423423423423',
    xid: undefined, xerr: null, entitled: true, hasProfile: true, mcRefusal: null, mcExpiresIn: 86400 };
  const account = { ...defaults };
  const services = new Map();

  function grant(res) {
    const [a, r] = [token('EwA'), token('M.C5')];
    access.add(a);
    refresh.add(r);
    issued.refresh.push(r);
    send(res, 200, { token_type: 'Bearer', scope: 'XboxLive.signin XboxLive.offline_access', expires_in: 3600,
      ext_expires_in: 3600, access_token: a, refresh_token: r }, 'application/json; charset=utf-8');
  }

  function xboxToken(res, tokens, prefix, uhs, claim, hours) {
    const t = token(prefix);
    tokens.set(t, uhs);
    return send(res, 200, { IssueInstant: new Date().toISOString(), NotAfter: new Date(Date.now() + hours * 3600e3).toISOString(),
      Token: t, DisplayClaims: { xui: [claim] } });
  }

  // the first refusal Microsoft's token endpoint would give, as [error, description], or null
  function tokenRefusal(req, form) {
    const grantType = form.get('grant_type');
    const expected = grantType === 'refresh_token' ? REFRESH_FIELDS : CODE_FIELDS;
    if (req.method !== 'POST' || !isType(req, 'application/x-www-form-urlencoded') || [...form.keys()].join('&') !== expected.join('&')) {
      return ['invalid_request', 'AADSTS90014: The request body fields are not the expected ones: ' + [...form.keys()].join(',')];
    }
    if (form.get('client_id') !== clientId) return ['unauthorized_client', 'AADSTS700016: The client does not exist or is not enabled for consumers.'];
    if (form.get('scope') !== SCOPE) return ['invalid_scope', "AADSTS70011: The provided value for the input parameter 'scope' is not valid."];
    // refresh tokens rotate: the answer carries the next one
    if (grantType === 'refresh_token') return refresh.delete(form.get('refresh_token')) ? null : ['invalid_grant', 'AADSTS70000: The refresh token is not valid.'];
    if (grantType !== 'authorization_code') return ['unsupported_grant_type', 'AADSTS70003: The app requested an unsupported grant type.'];
    const issuedChallenge = codes.get(form.get('code'));
    codes.delete(form.get('code')); // a code is redeemed once, even by a failed attempt
    if (!issuedChallenge) return ['invalid_grant', "AADSTS70000: The provided value for the 'code' parameter is not valid."];
    if (form.get('redirect_uri') !== redirectUri) return ['invalid_grant', "AADSTS50148: The redirect_uri doesn't match the one of the authorization request."];
    const verifier = form.get('code_verifier') || '';
    const challenge = crypto.createHash('sha256').update(verifier).digest('base64url');
    if (!/^[A-Za-z0-9\-._~]{43,128}$/.test(verifier) || challenge !== issuedChallenge) {
      return ['invalid_grant', 'AADSTS501481: The Code_Verifier does not match the code_challenge supplied in the authorization request.'];
    }
    return null;
  }

  services.set('/consumers/oauth2/v2.0/token', (req, res, body) => {
    const refusal = tokenRefusal(req, new URLSearchParams(body.toString('utf8')));
    return refusal ? oauthError(res, 400, ...refusal) : grant(res);
  });

  services.set('/user/authenticate', (req, res, body) => {
    const json = jsonBody(req, body);
    const p = json && json.Properties;
    if (!p || p.AuthMethod !== 'RPS' || p.SiteName !== 'user.auth.xboxlive.com'
      || json.RelyingParty !== 'http://auth.xboxlive.com' || json.TokenType !== 'JWT' || typeof p.RpsTicket !== 'string') {
      return send(res, 400, '', 'text/plain');
    }
    if (!p.RpsTicket.startsWith('d=') || !access.has(p.RpsTicket.slice(2))) return send(res, 401, '', 'text/plain');
    return xboxToken(res, userTokens, 'xbl', account.uhs, { uhs: account.uhs }, 14 * 24);
  });

  services.set('/xsts/authorize', (req, res, body) => {
    const json = jsonBody(req, body);
    const p = json && json.Properties;
    if (!p || p.SandboxId !== 'RETAIL' || !Array.isArray(p.UserTokens) || p.UserTokens.length !== 1
      || json.RelyingParty !== 'rp://api.minecraftservices.com/' || json.TokenType !== 'JWT') {
      return send(res, 400, '', 'text/plain');
    }
    const uhs = userTokens.get(p.UserTokens[0]);
    if (uhs === undefined) return send(res, 401, '', 'text/plain');
    if (account.xerr) return send(res, 401, { Identity: '0', XErr: account.xerr, Message: '', Redirect: '' });
    const claim = account.xid === undefined ? { uhs } : { uhs, xid: account.xid, gtg: account.name };
    return xboxToken(res, xstsTokens, 'xsts', uhs, claim, 16);
  });

  services.set('/authentication/login_with_xbox', (req, res, body) => {
    const path = '/authentication/login_with_xbox';
    const json = jsonBody(req, body);
    if (!json || typeof json.identityToken !== 'string' || Object.keys(json).length !== 1) {
      return servicesError(res, 400, path, 'BadRequestException', 'Invalid request body');
    }
    const m = /^XBL3\.0 x=([^;]+);(.+)$/.exec(json.identityToken);
    if (!m || xstsTokens.get(m[2]) !== m[1]) {
      return servicesError(res, 401, path, 'UnauthorizedOperationException', 'Invalid identity token');
    }
    const r = account.mcRefusal;
    if (r) return send(res, r.status, r.body, r.type || 'application/json');
    const t = token('eyJraWQiOiJhYzg0YSJ9');
    mcTokens.add(t);
    issued.mc.push(t);
    // an expires_in of undefined is left out of the JSON
    return send(res, 200, { username: crypto.randomUUID(), roles: [], access_token: t, token_type: 'Bearer', expires_in: account.mcExpiresIn });
  });

  // both Minecraft reads answer 401 to a bearer token they did not issue
  const unauthorized = (req, res, path) => !mcTokens.has(bearer(req))
    && (servicesError(res, 401, path, 'UnauthorizedOperationException', 'Unauthorized'), true);

  services.set('/entitlements/mcstore', (req, res) => {
    if (unauthorized(req, res, '/entitlements/mcstore')) return undefined;
    const items = account.entitled ? ['product_minecraft', 'game_minecraft'].map((name) => ({ name, signature: 'sig' })) : [];
    return send(res, 200, { items, signature: 'sig', keyId: '1' });
  });

  services.set('/minecraft/profile', (req, res) => {
    if (unauthorized(req, res, '/minecraft/profile')) return undefined;
    if (!account.hasProfile) return servicesError(res, 404, '/minecraft/profile', 'NOT_FOUND', 'The server has not found anything matching the request URI');
    return send(res, 200, { id: account.id, name: account.name, skins: [], capes: [] });
  });

  function reset() {
    world.reset();
    for (const [p, handler] of services) world.route(p, handler);
    Object.assign(account, defaults);
  }
  reset();

  return {
    world, reset, url: world.url, redirectUri, clientId, account, issued,
    useAsEndpoints: (endpoints) => pointEndpoints(endpoints,
      Object.fromEntries(['microsoftLogin', 'xboxUserAuth', 'xboxXsts', 'minecraftServices'].map((k) => [k, world.url]))),
    authorize(address) {
      const url = new URL(address);
      if (url.origin !== world.url || url.pathname !== '/consumers/oauth2/v2.0/authorize') {
        throw new Error('not an authorize address of this world: ' + address);
      }
      const q = url.searchParams;
      const fixed = { response_type: 'code', response_mode: 'query', scope: SCOPE, code_challenge_method: 'S256', prompt: 'select_account' };
      const wrong = [...q.keys()].join('&') !== AUTHORIZE_PARAMS.join('&')
        || Object.entries(fixed).some(([k, v]) => q.get(k) !== v)
        || !/^[A-Za-z0-9_-]{43}$/.test(q.get('code_challenge'));
      const back = new URL(q.get('redirect_uri') || redirectUri);
      if (wrong || q.get('client_id') !== clientId || q.get('redirect_uri') !== redirectUri) {
        back.search = new URLSearchParams({ error: 'invalid_request',
          error_description: 'The request is not valid.', state: q.get('state') || '' }).toString();
      } else {
        const code = token('M.C5_BAY');
        codes.set(code, q.get('code_challenge'));
        back.search = new URLSearchParams({ code, state: q.get('state') }).toString();
      }
      return back.href;
    },
    revokeRefreshTokens: () => refresh.clear(),
    close: () => world.close(),
  };
}

module.exports = { startSigninWorld };
