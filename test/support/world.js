'use strict';
// Loopback stand-in for the outside services: an HTTP or HTTPS server (127.0.0.1 and ::1; HTTPS
// with the committed test CA) answering each path as scripted:
//   world.route(path, plan | [plan1, plan2] | handler(req, res, body))  successive requests take
//     successive plans, the last repeats; routes match the path without its query, then with it
//   plan: { status, headers, body, redirect, delay, stall, cut, chunked, ranges }: body is a string,
//     a Buffer or JSON; redirect is a Location (302 unless status says otherwise); stall sends only
//     the headers; cut sends n bytes under the full Content-Length, then drops the connection;
//     ranges answers "Range: bytes=N-" with 206 and the body from byte N (416 from its end on)
//   world.url, requests, count(path), reset(), close(); latency (ms before every answer);
//   active and peak (answers under way now, and the most at once)
//   answer(res, plan) for handlers; pointEndpoints(endpoints, map) returns the undo

const fs = require('node:fs');
const http = require('node:http');
const https = require('node:https');
const path = require('node:path');

const CA_DIR = path.join(__dirname, '..', 'ca');

function answer(res, plan) {
  const status = plan.status || (plan.redirect !== undefined ? 302 : 200);
  const headers = { ...(plan.headers || {}) };
  if (plan.redirect !== undefined) headers.Location = plan.redirect;
  const { body = '' } = plan;
  const isJson = body !== null && !Buffer.isBuffer(body) && typeof body !== 'string';
  if (isJson && !headers['Content-Type']) headers['Content-Type'] = 'application/json';
  let bytes = Buffer.isBuffer(body) ? body : Buffer.from(isJson ? JSON.stringify(body) : body || '', 'utf8');
  const from = plan.ranges && /^bytes=(\d+)-$/.exec(res.req.headers.range || '');
  if (from && Number(from[1]) >= bytes.length) {
    res.writeHead(416, { 'Content-Range': `bytes */${bytes.length}`, 'Content-Length': 0 });
    res.end();
    return;
  }
  if (from) {
    headers['Content-Range'] = `bytes ${from[1]}-${bytes.length - 1}/${bytes.length}`;
    bytes = bytes.subarray(Number(from[1]));
  }
  if (!plan.chunked) headers['Content-Length'] = bytes.length;
  res.writeHead(from ? 206 : status, headers);
  if (plan.stall) res.flushHeaders();
  else if (plan.cut !== undefined) res.write(bytes.subarray(0, plan.cut), () => setTimeout(() => res.socket && res.socket.destroy(), 20));
  else res.end(bytes);
}

function pointEndpoints(endpoints, addresses) {
  const saved = Object.fromEntries(Object.keys(addresses).map((k) => [k, endpoints[k]]));
  Object.assign(endpoints, addresses);
  return () => Object.assign(endpoints, saved);
}

async function startWorld({ https: secure = false, latency = 0 } = {}) {
  const routes = new Map();
  const served = new Map();
  const requests = [];
  const sockets = new Set();

  // the plan is taken when the request comes: a reset during a delay changes nothing
  function planFor(fullPath) {
    const key = [fullPath.split('?')[0], fullPath].find((k) => routes.has(k));
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
      setTimeout(reply, self.latency + (plan.delay || 0));
    });
  }

  const makeServer = () => {
    const pem = (name) => fs.readFileSync(path.join(CA_DIR, name));
    const server = secure ? https.createServer({ key: pem('localhost.key'), cert: pem('localhost.pem') }, handle) : http.createServer(handle);
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
    requests,
    route(p, plan) {
      routes.set(p, plan);
      served.delete(p);
      return this;
    },
    count: (p) => requests.filter((r) => r.path === p || r.path.split('?')[0] === p).length,
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
