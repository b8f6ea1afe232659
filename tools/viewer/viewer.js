// The timeline of a recording that xob-decode --html wrote: reads the rows and tables the page
// carries, draws one lane per family on a canvas (marks counted per pixel column), and shows the
// text line of the record under the pointer as xob-decode prints it.
'use strict';
(function () {
  const errors = [];
  const report = (text) => {
    errors.push(String(text));
    document.body.dataset.errors = JSON.stringify(errors);
  };
  window.addEventListener('error', (e) => report(e.message));
  const consoleError = console.error;
  console.error = function (...args) {
    report(args.join(' '));
    consoleError.apply(console, args);
  };

  const $ = (id) => document.getElementById(id);
  const meta = JSON.parse($('xob-meta').textContent);
  const sources = meta.sources;
  const keys = meta.keys;  // [command, identifier, sub-identifier, entry, lane, rule]
  const laneColors = ['#2b6cb0', '#2c7a7b', '#b7791f', '#4a5568', '#6b46c1', '#2f855a', '#3182ce',
                      '#d53f8c', '#805ad5', '#1a202c', '#718096'];
  const DAMAGED = '#e53e3e';
  const MARK = '\x01';

  // ---- The rows: variable-length numbers, see tools/decoder/HtmlWriter.cpp ----
  const text = atob($('xob-rows').textContent.trim());
  const bytes = new Uint8Array(text.length);
  for (let i = 0; i < text.length; ++i) bytes[i] = text.charCodeAt(i);
  let pos = 0;
  const next = () => {
    let value = 0, scale = 1, b;
    do {
      b = bytes[pos++];
      value += (b & 127) * scale;
      scale *= 128;
    } while (b & 128);
    return value;
  };
  const unzig = (v) => (v % 2 === 0 ? v / 2 : -(v + 1) / 2);

  const shapeParts = meta.shapes.map((s) => s.split(MARK));
  const n = sources.reduce((sum, s) => sum + s[1], 0);
  const time = new Float64Array(n), offset = new Float64Array(n), raw = new Float64Array(n);
  const key = new Uint32Array(n), shape = new Uint32Array(n), numbersAt = new Uint32Array(n);
  const flags = new Uint8Array(n), source = new Uint16Array(n), lane = new Uint8Array(n);
  const rule = new Uint8Array(n);
  let i = 0;
  sources.forEach((s, si) => {
    let t = 0, o = 0, firstTimed = -1;
    const start = i;
    for (const end = i + s[1]; i < end; ++i) {
      const head = next();
      key[i] = Math.floor(head / 8);
      flags[i] = head & 7;
      t += unzig(next());
      time[i] = t;
      if (flags[i] & 4) raw[i] = next();
      o += unzig(next());
      offset[i] = o;
      shape[i] = next();
      numbersAt[i] = pos;
      for (let k = shapeParts[shape[i]].length - 1; k > 0; --k) next();
      source[i] = si;
      lane[i] = keys[key[i]][4];
      rule[i] = keys[key[i]][5];
      if (firstTimed < 0 && !(flags[i] & 2)) firstTimed = i;
    }
    // Records without a timestamp before the first one that has it: drawn at that first time.
    for (let k = start; firstTimed >= 0 && k < firstTimed; ++k) time[k] = time[firstTimed];
  });

  // ---- Text lines, as xob-decode prints them ----
  const two = (v) => (v < 10 ? '0' : '') + v;
  const clock = (h) => Math.floor(h / 360000) + ':' + two(Math.floor(h / 6000) % 60) + ':' +
      two(Math.floor(h / 100) % 60) + '.' + two(Math.floor(h % 100));
  const sourceWidth = Math.max(...sources.map((s) => s[0].length));
  const several = sources.length > 1;
  const headerLine = (several ? 'source'.padEnd(Math.max(sourceWidth, 6) + 2) : '') + meta.header;
  const tail = (r) => {
    const parts = shapeParts[shape[r]];
    pos = numbersAt[r];
    let out = parts[0];
    for (let k = 1; k < parts.length; ++k) out += next() + parts[k];
    return out;
  };
  const line = (r) => {
    const k = keys[key[r]];
    const timed = !(flags[r] & 2);
    return (several ? sources[source[r]][0].padEnd(sourceWidth) + '  ' : '') +
        String(offset[r]).padStart(8) + '  ' + k[0].padEnd(15) + ' ' +
        (timed ? String(flags[r] & 4 ? raw[r] : time[r] % 16777216).padStart(9) + ' ' + clock(time[r]).padStart(11)
               : '        -           -') +
        '  ' + k[1].padEnd(5) + ' ' + k[2].padStart(3) + '  ' + k[3].padEnd(meta.nameWidth) + tail(r);
  };

  // ---- Search: the marks whose name or fields hold the text ----
  let match = null, matchBefore = null;
  const search = (query) => {
    const q = query.trim().toLowerCase();
    if (!q) {
      match = null;
      matchBefore = null;
      $('matches').textContent = '';
      return;
    }
    match = new Uint8Array(n);
    const keyHit = keys.map((k) => (k[3] + ' ' + k[0]).toLowerCase().includes(q));
    const shapeHit = meta.shapes.map((s) => (s.includes(MARK) ? -1 : s.toLowerCase().includes(q) ? 1 : 0));
    let count = 0;
    for (let r = 0; r < n; ++r) {
      const hit = keyHit[key[r]] || shapeHit[shape[r]] === 1 ||
          (shapeHit[shape[r]] < 0 && tail(r).toLowerCase().includes(q));
      match[r] = hit ? 1 : 0;
      count += match[r];
    }
    matchBefore = prefixOf(match);
    $('matches').textContent = count + ' of ' + n + ' match';
  };

  // ---- Lanes and the view ----
  const laneUsed = new Array(meta.lanes.length).fill(false);
  for (let r = 0; r < n; ++r) laneUsed[lane[r]] = true;
  // Every family has its lane, empty or not; the lane of unknown bytes only when there are some.
  const lanesShown = meta.lanes.map((_, l) => l).filter((l) => l < meta.lanes.length - 1 || laneUsed[l]);
  let minT = Infinity, maxT = -Infinity;
  for (let r = 0; r < n; ++r) {
    if (time[r] < minT) minT = time[r];
    if (time[r] > maxT) maxT = time[r];
  }
  if (n === 0) { minT = 0; maxT = 100; }

  // ---- The index a drawing reads instead of the records ----
  // The records of each channel (lane and source) in time order: `order` holds them channel after
  // channel, `sorted` their times, so that the records of one pixel column are one slice of a
  // channel, found by binary search. A drawing then costs columns x channels x log(records).
  const channels = meta.lanes.length * Math.max(sources.length, 1);
  const channelOf = (r) => lane[r] * sources.length + source[r];
  const channelStart = new Int32Array(channels + 1);
  for (let r = 0; r < n; ++r) ++channelStart[channelOf(r) + 1];
  for (let ch = 0; ch < channels; ++ch) channelStart[ch + 1] += channelStart[ch];
  const order = new Uint32Array(n);
  {
    const fill = channelStart.slice(0, channels);
    for (let r = 0; r < n; ++r) order[fill[channelOf(r)]++] = r;
  }
  for (let ch = 0; ch < channels; ++ch) {
    let inOrder = true;
    for (let k = channelStart[ch] + 1; inOrder && k < channelStart[ch + 1]; ++k) inOrder = time[order[k - 1]] <= time[order[k]];
    if (!inOrder) order.subarray(channelStart[ch], channelStart[ch + 1]).sort((a, b) => time[a] - time[b] || a - b);
  }
  const sorted = new Float64Array(n);
  for (let k = 0; k < n; ++k) sorted[k] = time[order[k]];
  // prefixOf(marks)[k]: how many of the first k records in `order` are marked.
  const prefixOf = (marks) => {
    const before = new Int32Array(n + 1);
    for (let k = 0; k < n; ++k) before[k + 1] = before[k] + (marks[order[k]] ? 1 : 0);
    return before;
  };
  const damagedBefore = prefixOf(flags.map((f) => f & 1));
  const ruled = [];  // control commands are few: drawn from their own list
  for (let r = 0; r < n; ++r) if (rule[r]) ruled.push(time[r]);
  const pad = Math.max((maxT - minT) * 0.01, 50);
  const full = [minT - pad, maxT + pad];
  let view = full.slice();
  let sideBySide = false;
  const LABEL = 170, RIGHT = 12, HIST = 56, AXIS = 22, ROW = 22;
  const canvas = $('canvas');
  const g = canvas.getContext('2d');
  let layout = null;  // of the last drawing, for the pointer

  const rowsOf = () => {
    const rows = [];
    for (const l of lanesShown) {
      if (sideBySide && several) {
        sources.forEach((s, si) => rows.push({ lane: l, source: si, label: meta.lanes[l] + ' \u00b7 ' + s[0].replace(/.*\//, '') }));
      } else {
        rows.push({ lane: l, source: -1, label: meta.lanes[l] });
      }
    }
    return rows;
  };

  const niceStep = (span, pixels) => {
    const want = span / Math.max(pixels / 110, 1);
    const steps = [1, 2, 5, 10, 20, 50, 100, 200, 500, 1000, 1500, 3000, 6000, 12000, 30000, 60000,
                   90000, 180000, 360000, 720000, 1440000, 2160000, 4320000, 8640000];
    for (const s of steps) if (s >= want) return s;
    return steps[steps.length - 1] * Math.ceil(want / steps[steps.length - 1]);
  };

  function draw() {
    const started = performance.now();
    const rows = rowsOf();
    const cssWidth = Math.max(canvas.parentElement.clientWidth, 400);
    const cssHeight = HIST + AXIS + rows.length * ROW + 6;
    const ratio = window.devicePixelRatio || 1;
    canvas.width = Math.round(cssWidth * ratio);
    canvas.height = Math.round(cssHeight * ratio);
    canvas.style.height = cssHeight + 'px';
    g.setTransform(ratio, 0, 0, ratio, 0, 0);
    const cols = Math.max(Math.floor(cssWidth - LABEL - RIGHT), 1);
    const [t0, t1] = view;
    const scale = cols / (t1 - t0);
    const rowOf = new Int32Array(meta.lanes.length * Math.max(sources.length, 1)).fill(-1);
    rows.forEach((row, k) => {
      if (row.source < 0) sources.forEach((_, si) => { rowOf[row.lane * sources.length + si] = k; });
      else rowOf[row.lane * sources.length + row.source] = k;
    });
    const count = new Int32Array(rows.length * cols), bad = new Int32Array(rows.length * cols);
    const hit = new Int32Array(rows.length * cols);
    const hist = new Int32Array(cols), rules = new Uint8Array(cols);
    const drawn = new Array(meta.lanes.length).fill(0);
    // The column of time t, -1 before the view and cols after it; never decreases as t grows, so
    // bounds[ch * (cols + 1) + c] is where the records of column c start in channel ch.
    const columnOf = (t) => (t < t0 ? -1 : t > t1 ? cols : Math.min(cols - 1, Math.floor((t - t0) * scale)));
    const bounds = new Int32Array(channels * (cols + 1));
    for (let ch = 0; ch < channels; ++ch) {
      const k = rowOf[ch];
      let lo = channelStart[ch];
      const end = channelStart[ch + 1];
      if (k < 0 || lo === end) { bounds.fill(lo, ch * (cols + 1), (ch + 1) * (cols + 1)); continue; }
      for (let c = 0; c <= cols; ++c) {
        let hi = end;
        while (lo < hi) {
          const mid = (lo + hi) >>> 1;
          if (columnOf(sorted[mid]) < c) lo = mid + 1; else hi = mid;
        }
        bounds[ch * (cols + 1) + c] = lo;
      }
      const l = Math.floor(ch / sources.length);
      for (let c = 0; c < cols; ++c) {
        const a = bounds[ch * (cols + 1) + c], b = bounds[ch * (cols + 1) + c + 1];
        if (a === b) continue;
        const cell = k * cols + c;
        count[cell] += b - a;
        bad[cell] += damagedBefore[b] - damagedBefore[a];
        if (matchBefore) hit[cell] += matchBefore[b] - matchBefore[a];
        hist[c] += b - a;
        drawn[l] += b - a;
      }
    }
    for (const t of ruled) {
      const c = columnOf(t);
      if (c >= 0 && c < cols) rules[c] = 1;
    }
    // The record a pointer on cell (k, c) shows: the first one recorded of those it counts.
    const first = (k, c) => {
      let best = -1;
      for (let ch = 0; ch < channels; ++ch) {
        if (rowOf[ch] !== k) continue;
        for (let m = bounds[ch * (cols + 1) + c]; m < bounds[ch * (cols + 1) + c + 1]; ++m) {
          if (best < 0 || order[m] < best) best = order[m];
        }
      }
      return best;
    };
    layout = { rows, cols, t0, scale, count, first };

    g.clearRect(0, 0, cssWidth, cssHeight);
    g.font = '11px system-ui, sans-serif';
    // The count histogram: records per pixel column.
    let most = 1;
    for (let c = 0; c < cols; ++c) if (hist[c] > most) most = hist[c];
    g.fillStyle = '#a0aec0';
    for (let c = 0; c < cols; ++c) {
      if (!hist[c]) continue;
      const h = Math.max(1, Math.round((HIST - 8) * hist[c] / most));
      g.fillRect(LABEL + c - 1, HIST - h, 3, h);
    }
    g.fillStyle = '#444';
    g.fillText('records per column (max ' + most + ')', 8, 14);
    // The time axis.
    const top = HIST + AXIS;
    const step = niceStep(t1 - t0, cols);
    g.strokeStyle = '#e2e2e2';
    g.fillStyle = '#444';
    for (let t = Math.ceil(t0 / step) * step; t <= t1; t += step) {
      const x = LABEL + Math.round((t - t0) * scale) + 0.5;
      g.beginPath(); g.moveTo(x, HIST); g.lineTo(x, top + rows.length * ROW); g.stroke();
      g.fillText(clock(Math.max(t, 0)), x + 3, HIST + 15);
    }
    // Lanes: label, band, marks.
    rows.forEach((row, k) => {
      const y = top + k * ROW;
      g.fillStyle = k % 2 ? '#fafafa' : '#f1f3f5';
      g.fillRect(LABEL, y, cols, ROW - 2);
      g.fillStyle = laneColors[row.lane];
      g.fillText(row.label, 8, y + 15, LABEL - 12);
    });
    // Control commands: a rule across every lane.
    g.fillStyle = 'rgba(26, 32, 44, 0.45)';
    for (let c = 0; c < cols; ++c) if (rules[c]) g.fillRect(LABEL + c, top, 1, rows.length * ROW);
    rows.forEach((row, k) => {
      const y = top + k * ROW;
      let peak = 1;
      for (let c = 0; c < cols; ++c) if (count[k * cols + c] > peak) peak = count[k * cols + c];
      // Marks are three pixels wide, so that a lone record shows; damaged ones go on top.
      for (const damagedPass of [false, true]) {
        for (let c = 0; c < cols; ++c) {
          const cell = k * cols + c;
          if (!count[cell] || (bad[cell] > 0) !== damagedPass) continue;
          const h = 6 + Math.round((ROW - 9) * Math.log1p(count[cell]) / Math.log1p(peak));
          g.globalAlpha = match && !hit[cell] ? 0.2 : 1;
          g.fillStyle = damagedPass ? DAMAGED : laneColors[row.lane];
          g.fillRect(LABEL + c - 1, y + ROW - 2 - h, 3, h);
          if (match && hit[cell]) {
            g.fillStyle = '#dd6b20';
            g.fillRect(LABEL + c - 2, y, 5, 4);
          }
        }
      }
      g.globalAlpha = 1;
    });
    $('from').value = clock(Math.max(t0, 0));
    $('to').value = clock(Math.max(t1, 0));
    const counts = {};
    lanesShown.forEach((l) => { counts[meta.lanes[l]] = drawn[l]; });
    const json = JSON.stringify(counts);
    document.body.dataset.drawn = json;
    $('drawn').textContent = json;
    document.body.dataset.drawMs = (performance.now() - started).toFixed(1);  // for bench/
  }

  // ---- Pointer, zoom and pan ----
  // One drawing per frame however fast the wheel and the pointer send their events.
  let frameAsked = false;
  const redraw = () => {
    if (frameAsked) return;
    frameAsked = true;
    requestAnimationFrame(() => { frameAsked = false; draw(); });
  };
  let pinned = -1, dragging = null;
  const timeAt = (x) => view[0] + (x - LABEL) * (view[1] - view[0]) / layout.cols;  // the view may be ahead of the drawing
  const show = (r, others) => {
    $('detail').textContent = r < 0 ? '' : headerLine + '\n' + line(r) +
        (others > 1 ? '\n(' + others + ' records in this column of the lane: zoom in to tell them apart)' : '');
  };
  const markAt = (e) => {
    const box = canvas.getBoundingClientRect();
    const x = e.clientX - box.left, y = e.clientY - box.top;
    const k = Math.floor((y - HIST - AXIS) / ROW);
    $('cursor').textContent = x >= LABEL ? clock(Math.max(timeAt(x), 0)) : '';
    if (k < 0 || k >= layout.rows.length) return null;
    const c = Math.round(x - LABEL);
    for (let d = 0; d <= 3; ++d) {
      for (const cc of [c - d, c + d]) {
        if (cc >= 0 && cc < layout.cols && layout.count[k * layout.cols + cc] > 0) {
          return { record: layout.first(k, cc), others: layout.count[k * layout.cols + cc] };
        }
      }
    }
    return null;
  };
  canvas.addEventListener('mousemove', (e) => {
    if (dragging) {
      const shift = (e.clientX - dragging.x) / layout.scale;
      view = [dragging.view[0] - shift, dragging.view[1] - shift];
      redraw();
      return;
    }
    const mark = markAt(e);
    if (pinned < 0 && mark) show(mark.record, mark.others);
  });
  canvas.addEventListener('mousedown', (e) => { dragging = { x: e.clientX, view: view.slice(), moved: false }; });
  window.addEventListener('mouseup', (e) => {
    if (dragging && Math.abs(e.clientX - dragging.x) < 3) {
      const mark = markAt(e);
      pinned = mark ? mark.record : -1;
      if (mark) show(mark.record, mark.others);
    }
    dragging = null;
  });
  canvas.addEventListener('wheel', (e) => {
    e.preventDefault();
    const box = canvas.getBoundingClientRect();
    const at = timeAt(Math.max(e.clientX - box.left, LABEL));
    const factor = e.deltaY > 0 ? 1.25 : 0.8;
    const span = Math.max((view[1] - view[0]) * factor, 5);
    const left = (at - view[0]) / (view[1] - view[0]);
    view = [at - span * left, at + span * (1 - left)];
    redraw();
  }, { passive: false });

  // h:mm:ss.cc, m:ss.cc or hundredths, as xob-decode's --since and --until.
  const parseTime = (s) => {
    if (/^\s*\d+\s*$/.test(s)) return Number(s);
    const m = /^\s*(?:(\d+):)?(\d+):(\d+)(?:\.(\d{1,2}))?\s*$/.exec(s);
    if (!m) return NaN;
    return Number(m[1] || 0) * 360000 + Number(m[2]) * 6000 + Number(m[3]) * 100 + Number((m[4] || '0').padEnd(2, '0'));
  };
  $('apply').addEventListener('click', () => {
    const a = parseTime($('from').value), b = parseTime($('to').value);
    if (a < b) { view = [a, b]; draw(); }
  });
  $('all').addEventListener('click', () => { view = full.slice(); draw(); });
  let searchTimer = 0;
  $('search').addEventListener('input', (e) => {
    clearTimeout(searchTimer);
    searchTimer = setTimeout(() => { search(e.target.value); draw(); }, 150);
  });
  if (several) {
    $('switch').hidden = false;
    $('sideBySide').addEventListener('change', (e) => { sideBySide = e.target.checked; draw(); });
  }
  window.addEventListener('resize', redraw);

  $('title').textContent = document.title + ': ' + n + ' records';
  // #record=N opens with record N shown; #side starts with the sources side by side.
  const wanted = /record=(\d+)/.exec(location.hash);
  sideBySide = /side/.test(location.hash) && several;
  $('sideBySide').checked = sideBySide;
  draw();
  if (wanted && Number(wanted[1]) < n) {
    pinned = Number(wanted[1]);
    show(pinned, 1);
  }
  document.body.dataset.records = String(n);
  document.body.dataset.loadMs = String(Math.round(performance.now()));  // since navigation, for bench/
  document.body.dataset.ready = '1';
})();
