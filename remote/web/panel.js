'use strict';
// The live front panel: one WebSocket for the state and the keys, opened
// again with a growing pause whenever it closes.
(function () {
  const token = new URLSearchParams(location.search).get('token') || '';
  const wsUrl = (location.protocol === 'https:' ? 'wss://' : 'ws://') + location.host + '/ws?token=' +
      encodeURIComponent(token);
  const connection = document.getElementById('connection');
  const lent = document.getElementById('lent');
  const refused = document.getElementById('refused');
  const alertBanner = document.getElementById('alert');
  let alertTimer = null;
  const buttons = Array.from(document.querySelectorAll('button[data-key]'));
  let socket = null;
  let pause = 500;
  let linkOwner = 'none';

  function setText(id, text) {
    const el = document.getElementById(id);
    if (el && el.textContent !== text) el.textContent = text;
  }

  function keysUsable() {
    return socket && socket.readyState === WebSocket.OPEN && linkOwner !== 'transfer';
  }

  function updateKeys() {
    const usable = keysUsable();
    buttons.forEach(function (b) { b.disabled = !usable; });
    lent.hidden = linkOwner !== 'transfer';
  }

  function showState(state) {
    Object.keys(state.fields || {}).forEach(function (name) { setText('f-' + name, state.fields[name]); });
    setText('status', state.status || '');
    setText('aux', (state.aux || []).slice(0, 4).filter(function (l) { return l.trim() !== ''; }).join('\n'));
    linkOwner = state.link;
    const rows = document.getElementById('rows');
    const fresh = document.createDocumentFragment();
    (state.activity || []).forEach(function (a) {
      const tr = document.createElement('tr');
      [a.heard, a.id, a.bank].forEach(function (v) {
        const td = document.createElement('td');
        td.textContent = v;
        tr.appendChild(td);
      });
      fresh.appendChild(tr);
    });
    rows.replaceChildren(fresh);
    updateKeys();
  }

  function connect() {
    socket = new WebSocket(wsUrl);
    socket.onopen = function () {
      pause = 500;
      connection.textContent = 'Connected';
      updateKeys();
    };
    socket.onmessage = function (event) {
      let message;
      try { message = JSON.parse(event.data); } catch (e) { return; }
      if (message.type === 'state') {
        showState(message);
      } else if (message.type === 'refused') {
        refused.textContent = message.message;
        refused.hidden = false;
        setTimeout(function () { refused.hidden = true; }, 4000);
      } else if (message.type === 'alert') {
        // An alert rule fired: shown for a while, the newest over the last.
        alertBanner.textContent = message.title + ': ' + message.message;
        alertBanner.hidden = false;
        clearTimeout(alertTimer);
        alertTimer = setTimeout(function () { alertBanner.hidden = true; }, 10000);
      }
    };
    socket.onclose = function () {
      socket = null;
      updateKeys();
      connection.textContent = 'Not connected; trying again in ' + Math.round(pause / 1000) + ' s';
      setTimeout(connect, pause);
      pause = Math.min(pause * 2, 15000);
    };
  }

  buttons.forEach(function (b) {
    b.addEventListener('click', function () {
      if (keysUsable()) socket.send(JSON.stringify({ key: b.dataset.key }));
    });
  });
  connect();
})();
