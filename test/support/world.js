'use strict';
// Loopback stand-ins for the outside services: an HTTP or HTTPS server on 127.0.0.1 (and ::1) whose
// answers are scripted per path. HTTPS uses the committed test CA (test/ca), which the test
// command trusts through NODE_EXTRA_CA_CERTS; Wine trusts it through its Root store.
//
//   const world = await startWorld({ https: true, latency: 0 });
//   world.url                       'https://localhost:PORT' or 'http://127.0.0.1:PORT'
//   world.route(path, plan)         plan: { status, headers, body, redirect, delay, stall, cut, chunked }
//   world.route(path, [s1, s2])     successive requests take successive plans; the last repeats
//   world.route(path, handler)      handler(req, res, body) answers itself
//   world.requests, world.count(path), world.reset(), await world.close()
//   world.latency                   milliseconds added before every answer; may change at any time
//   world.active, world.peak        answers under way now, and the most at once (set it to start over)
//   answer(res, plan)               answers one request as a plan says, for handlers of their own
//   pointEndpoints(endpoints, map)  points the launcher's service addresses at a world; returns the undo
//
// body: a string, a Buffer, or any other value sent as JSON. redirect: a Location (relative
// or absolute) answered with 302 unless status says otherwise. delay: milliseconds before
// the answer. stall: headers go out, the body never comes. cut: n bytes of the body are sent
// under the full Content-Length, then the connection is destroyed. chunked: no Content-Length.
// Routes match on the path without its query first, then on the path with it; anything else
// is a 404.

const fs = require('node:fs');
const http = require('node:http');
const https = require('node:https');
const path = require('node:path');

const CA_DIR = path.join(__dirname, '..', 'ca');

function bodyBytes(body) {
  if (body === undefined || body === null) return Buffer.alloc(0);
  return Buffer.isBuffer(body) ? body : Buffer.from(typeof body === 'string' ? body : JSON.stringify(body), 'utf8');
}

/** Answers `res` as `plan` says (see above). */
function answer(res, plan) {
  const status = plan.status || (plan.redirect !== undefined ? 302 : 200);
  const headers = { ...(plan.headers || {}) };
  if (plan.redirect !== undefined) headers.Location = plan.redirect;
  const isJson = plan.body !== undefined && plan.body !== null && !Buffer.isBuffer(plan.body) && typeof plan.body !== 'string';
  if (isJson && !headers['Content-Type']) headers['Content-Type'] = 'application/json';
  const bytes = bodyBytes(plan.body);
  if (!plan.chunked) headers['Content-Length'] = bytes.length;
  res.writeHead(status, headers);
  if (plan.stall) {
    res.flushHeaders();
    return;
  }
  if (plan.cut !== undefined) {
    res.write(bytes.subarray(0, plan.cut), () => setTimeout(() => res.socket && res.socket.destroy(), 20));
    return;
  }
  res.end(bytes);
}

/** Sets the given keys of `endpoints` to new addresses; returns a function that sets them back. */
function pointEndpoints(endpoints, addresses) {
  const saved = Object.fromEntries(Object.keys(addresses).map((k) => [k, endpoints[k]]));
  Object.assign(endpoints, addresses);
  return () => Object.assign(endpoints, saved);
}

/** Starts a scripted loopback server; resolves when it listens. */
async function startWorld({ https: secure = false, latency = 0 } = {}) {
  const routes = new Map();
  const served = new Map();
  const requests = [];
  const sockets = new Set();

  // the plan is taken when the request comes: a reset during a delay changes nothing
  function planFor(fullPath) {
    const bare = fullPath.split('?')[0];
    const key = [bare, fullPath].find((k) => routes.has(k));
    if (key === undefined) return { status: 404, body: 'not found' };
    const route = routes.get(key);
    if (!Array.isArray(route)) return route;
    const n = served.get(key) || 0;
    served.set(key, n + 1);
    return route[Math.min(n, route.length - 1)];
  }

  function handle(req, res) {
    self.active += 1;
    self.peak = Math.max(self.peak, self.active);
    res.on('close', () => { self.active -= 1; });
    const chunks = [];
    req.on('data', (c) => chunks.push(c));
    req.on('end', () => {
      const body = Buffer.concat(chunks);
      requests.push({ method: req.method, path: req.url, headers: req.headers, body });
      const plan = planFor(req.url);
      const reply = () => (typeof plan === 'function' ? plan(req, res, body) : answer(res, plan));
      const wait = self.latency + (plan.delay || 0);
      if (wait > 0) setTimeout(reply, wait);
      else reply();
    });
  }

  const makeServer = () => {
    const server = secure
      ? https.createServer({
        key: fs.readFileSync(path.join(CA_DIR, 'localhost.key')),
        cert: fs.readFileSync(path.join(CA_DIR, 'localhost.pem')),
      }, handle)
      : http.createServer(handle);
    server.on('connection', (s) => {
      sockets.add(s);
      s.on('close', () => sockets.delete(s));
    });
    return server;
  };
  const listen = (server, port, host) => new Promise((resolve, reject) => {
    server.once('error', reject);
    server.listen(port, host, resolve);
  });
  const servers = [makeServer()];
  await listen(servers[0], 0, '127.0.0.1');
  const { port } = servers[0].address();
  // `localhost` resolves to ::1 first on many machines, and older Node tries only that:
  // answer on the IPv6 loopback too, when the machine has one.
  const twin = makeServer();
  await listen(twin, port, '::1').then(() => servers.push(twin), () => {});

  const self = {
    latency,
    active: 0,
    peak: 0,
    url: secure ? `https://localhost:${port}` : `http://127.0.0.1:${port}`,
    port,
    requests,
    route(p, plan) {
      routes.set(p, plan);
      served.delete(p);
      return this;
    },
    count(p) {
      return requests.filter((r) => r.path === p || r.path.split('?')[0] === p).length;
    },
    reset() {
      routes.clear();
      served.clear();
      requests.length = 0;
      self.peak = self.active;
    },
    close() {
      for (const s of sockets) s.destroy();
      return Promise.all(servers.map((server) => new Promise((resolve) => server.close(() => resolve()))));
    },
  };
  return self;
}

module.exports = { startWorld, answer, pointEndpoints };
