// Outside OBS the page can feed itself: with ?ws=ws://host:port (and &password=...) it logs in
// to obs-websocket 5, follows the vendor events of "clackery" and asks for the state once per
// connection. A dropped connection is retried with growing pauses.
(function (C) {
  'use strict';

  const OP = { HELLO: 0, IDENTIFY: 1, IDENTIFIED: 2, EVENT: 5, REQUEST: 6, REQUEST_RESPONSE: 7 };
  const VENDOR_EVENTS = 512;
  const RPC_VERSION = 1;
  const VENDOR = 'clackery';
  const BACKOFF_MS = [1000, 2000, 4000, 8000, 15000, 30000];

  function readOptions(search) {
    const params = new URLSearchParams(search);
    const ws = params.get('ws');
    if (!ws || !/^wss?:\/\/[^\s]+$/i.test(ws)) return null;
    return { url: ws, password: params.get('password') || '' };
  }

  // onPayload(kind, data) receives bare payloads; onStatus(text) a short connection status.
  function connect(options, onPayload, onStatus) {
    let socket = null;
    let attempt = 0;
    let timer = 0;
    let requestCount = 0;
    let stopped = false;

    function send(op, d) {
      if (socket && socket.readyState === WebSocket.OPEN) socket.send(JSON.stringify({ op, d }));
    }

    function handle(msg) {
      if (!C.envelope.isPlainObject(msg) || !C.envelope.isPlainObject(msg.d)) return;
      const d = msg.d;
      if (msg.op === OP.HELLO) {
        const identify = { rpcVersion: RPC_VERSION, eventSubscriptions: VENDOR_EVENTS };
        const auth = d.authentication;
        if (C.envelope.isPlainObject(auth) && typeof auth.challenge === 'string' && typeof auth.salt === 'string') {
          identify.authentication = C.sha256.obsAuth(options.password, auth.salt, auth.challenge);
        }
        send(OP.IDENTIFY, identify);
      } else if (msg.op === OP.IDENTIFIED) {
        attempt = 0;
        onStatus('connected');
        requestCount += 1;
        send(OP.REQUEST, {
          requestType: 'CallVendorRequest',
          requestId: 'clackery-page-' + requestCount,
          // obs-websocket refuses an empty inner requestData: leave it out.
          requestData: { vendorName: VENDOR, requestType: 'get_state' },
        });
      } else if (msg.op === OP.EVENT) {
        if (d.eventType !== 'VendorEvent' || !C.envelope.isPlainObject(d.eventData)) return;
        const e = d.eventData;
        if (e.vendorName !== VENDOR || !C.envelope.isPlainObject(e.eventData)) return;
        if (['key', 'mouse', 'wheel', 'text', 'state'].includes(e.eventType)) onPayload(e.eventType, e.eventData);
      } else if (msg.op === OP.REQUEST_RESPONSE) {
        const status = d.requestStatus;
        if (!C.envelope.isPlainObject(status) || status.result !== true) return;
        const outer = d.responseData;
        if (C.envelope.isPlainObject(outer) && C.envelope.isPlainObject(outer.responseData)) {
          onPayload('state', outer.responseData);
        }
      }
    }

    function open() {
      if (stopped) return;
      onStatus('connecting');
      try {
        socket = new WebSocket(options.url, 'obswebsocket.json');
      } catch (e) {
        retry();
        return;
      }
      socket.addEventListener('message', (ev) => {
        if (typeof ev.data !== 'string') return;
        let msg;
        try {
          msg = JSON.parse(ev.data);
        } catch (e) {
          return;
        }
        handle(msg);
      });
      socket.addEventListener('close', (ev) => {
        socket = null;
        onStatus(ev.code === 4009 ? 'auth-failed' : 'disconnected');
        retry();
      });
    }

    function retry() {
      if (stopped) return;
      clearTimeout(timer);
      const wait = BACKOFF_MS[Math.min(attempt, BACKOFF_MS.length - 1)];
      attempt += 1;
      timer = setTimeout(open, wait);
    }

    open();
    return {
      close() {
        stopped = true;
        clearTimeout(timer);
        if (socket) socket.close();
      },
    };
  }

  C.obsws = { readOptions, connect, BACKOFF_MS };
})(window.Clackery = window.Clackery || {});
