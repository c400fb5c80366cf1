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
  const rows = document.getElementById('rows');
  const player = document.getElementById('player');
  const playing = document.getElementById('playing');
  const audio = document.getElementById('audio');
  let socket = null;
  let pause = 500;
  let linkOwner = 'none';
  let shownActivity = '';
  let chosen = 0; // the recording in the player

  function setText(id, text) {
    const el = document.getElementById(id);
    if (el && el.textContent !== text) el.textContent = text;
  }

  function keysUsable() {
    return socket && socket.readyState === WebSocket.OPEN && linkOwner !== 'transfer';
  }

  function updateKeys() {
    const usable = keysUsable();
    rows.addEventListener('click', function (event) {
    const button = event.target.closest('button[data-recording]');
    if (button) playRecording(button);
  });
  audio.addEventListener('error', function () {
    if (audio.getAttribute('src')) playing.textContent = 'This recording cannot be played (it may have been deleted).';
  });

  buttons.forEach(function (b) { b.disabled = !usable; });
    lent.hidden = linkOwner !== 'transfer';
  }

  function showState(state) {
    Object.keys(state.fields || {}).forEach(function (name) { setText('f-' + name, state.fields[name]); });
    setText('status', state.status || '');
    setText('aux', (state.aux || []).slice(0, 4).filter(function (l) { return l.trim() !== ''; }).join('\n'));
    linkOwner = state.link;
    showActivity(state.activity || []);
    updateKeys();
  }

  // The rows are made again only when they changed, so that a play button
  // is not replaced under the finger.
  function showActivity(activity) {
    const text = JSON.stringify(activity);
    if (text === shownActivity) return;
    shownActivity = text;
    const fresh = document.createDocumentFragment();
    activity.forEach(function (a) {
      const tr = document.createElement('tr');
      [a.heard, a.id, a.bank].forEach(function (v) {
        const td = document.createElement('td');
        td.textContent = v;
        tr.appendChild(td);
      });
      const td = document.createElement('td');
      if (Number.isInteger(a.recording) && a.recording > 0) {
        const play = document.createElement('button');
        play.textContent = 'Play';
        play.dataset.recording = String(a.recording);
        play.dataset.caption = a.heard + '  talkgroup ' + a.id;
        play.setAttribute('aria-label', 'Play the call of talkgroup ' + a.id + ' heard ' + a.heard);
        if (a.recording === chosen) tr.className = 'chosen';
        td.appendChild(play);
      }
      tr.appendChild(td);
      fresh.appendChild(tr);
    });
    rows.replaceChildren(fresh);
  }

  function playRecording(button) {
    chosen = Number(button.dataset.recording);
    rows.querySelectorAll('tr.chosen').forEach(function (tr) { tr.className = ''; });
    button.closest('tr').className = 'chosen';
    playing.textContent = button.dataset.caption;
    player.hidden = false;
    audio.src = 'recording?id=' + chosen + '&token=' + encodeURIComponent(token);
    const started = audio.play();
    if (started) started.catch(function () { /* the user presses play */ });
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

  rows.addEventListener('click', function (event) {
    const button = event.target.closest('button[data-recording]');
    if (button) playRecording(button);
  });
  audio.addEventListener('error', function () {
    if (audio.getAttribute('src')) playing.textContent = 'This recording cannot be played (it may have been deleted).';
  });

  buttons.forEach(function (b) {
    b.addEventListener('click', function () {
      if (keysUsable()) socket.send(JSON.stringify({ key: b.dataset.key }));
    });
  });
  connect();
})();
