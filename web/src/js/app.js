/*
 * Kestrava encoder browser client: update cycle, widgets and pages.
 * Runs after "objects.js" (WIDGETTYPE, T, WIDGETS, GUI_INDEX, ...) and the vendored libraries.
 */
(function () {
  'use strict';
  /* global Vue, VueRouter, Popper, FilePond, sha256, KestravaProtocol, WIDGETTYPE, T, WIDGETS, GUI_INDEX,
     WEBSOCKETS_SUPPORTED, MAX_KOEK_ERRORS, GLOBAL_PREFIX */

  const WT = WIDGETTYPE;
  const TITLE_WIDGET = 10855;

  function determineUrlInstancePrefix() {
    const m = /^\/instance(\d+)/.exec(window.location.pathname);
    return m && Number(m[1]) !== 0 ? GLOBAL_PREFIX + 'instance' + Number(m[1]) + '/' : GLOBAL_PREFIX;
  }
  function determineUrlInstancePrefix_noglobalprefix() {
    const m = /^\/instance(\d+)/.exec(window.location.pathname);
    return m && Number(m[1]) !== 0 ? '/instance' + Number(m[1]) + '/' : '/';
  }
  function determineUrlInstancePrefix_noDuplicateInstance(url) {
    return url.startsWith('instance') ? GLOBAL_PREFIX + url : determineUrlInstancePrefix() + url;
  }
  window.determineUrlInstancePrefix = determineUrlInstancePrefix;
  window.determineUrlInstancePrefix_noglobalprefix = determineUrlInstancePrefix_noglobalprefix;
  window.determineUrlInstancePrefix_noDuplicateInstance = determineUrlInstancePrefix_noDuplicateInstance;

  const P = KestravaProtocol.createProtocol({
    WIDGETTYPE: WT, T: T, WIDGETS: WIDGETS, MAX_KOEK_ERRORS: MAX_KOEK_ERRORS,
    sha256: sha256, log: (m) => console.log(m), reactive: (o) => Vue.observable(o),
    linkUrl: determineUrlInstancePrefix_noDuplicateInstance,
    maxWidth: {
      [WT.WAVE]: MAX_SIZE_X_WAVE, [WT.DCWAVE]: MAX_SIZE_X_WAVE, [WT.MPX]: MAX_SIZE_X_MPX, [WT.RF]: MAX_SIZE_X_RF,
      [WT.PEQ]: MAX_SIZE_X_PEQ, [WT.SPECTRUM]: MAX_SIZE_X_SPECTRUM, [WT.MBBANDS]: MAX_SIZE_X_MBBANDS,
      [WT.KESTRAVARECEIVER]: MAX_SIZE_X_KVRARECEIVER,
    },
  });
  window.kestravaProtocol = P;
  const getWidget = P.getWidget;
  const declared = (id) => Object.prototype.hasOwnProperty.call(T, id);

  // ---------------------------------------------------------------- connection and update cycle
  const status = Vue.observable({
    errorStatus: -1, text: '', retrying: false, retryIn: -1, usingWebsocket: true, websocketOpen: false,
    errorCount: 0, requestInProgress: false, requestStepCount: 0, lastUrl: '',
    xhrUrlPrefix: determineUrlInstancePrefix(), wsUrlPrefix: determineUrlInstancePrefix_noglobalprefix(),
  });
  window.lmxConnectionStatus = status;
  const mounted = new Map();
  const triggers = new Set();
  let pendingReply = null;
  let socket = null;
  let polling = false;

  function SetActiveWidget(w, isMounted) {
    if (!P.isKnown(w) || w.type === WT.OMITTED) return;
    const n = mounted.get(w.id) || 0;
    if (isMounted) {
      w.forced = true;
      mounted.set(w.id, n + 1);
    } else if (n <= 1) mounted.delete(w.id);
    else mounted.set(w.id, n - 1);
  }
  function AddTrigger(id) { triggers.add(Number(id)); }

  function buildRequest() {
    let segments = '';
    for (const id of triggers) {
      const w = getWidget(id);
      if (w.type !== WT.BUTTON) continue;
      w.dirty = 1;
      segments += P.GenerateWidgetSegment(w, 0, 0, 0, true, w.requestInitial);
    }
    triggers.clear();
    const ratio = window.devicePixelRatio || 1;
    for (const id of mounted.keys()) segments += P.GenerateWidgetSegments(getWidget(id), ratio);
    return 'update' + GUI_INDEX + '/' + segments;
  }

  function received(bytes) {
    pendingReply = bytes;
    status.errorCount = 0;
    status.requestInProgress = false;
    status.errorStatus = -1;
    status.retrying = false;
  }

  function openSocket() {
    if (socket) socket.close();
    status.requestInProgress = true;
    status.websocketOpen = false;
    const ws = new WebSocket('ws://' + window.lmxUrl + '/' + determineUrlInstancePrefix() + 'websocket/');
    ws.binaryType = 'arraybuffer';
    socket = ws;
    ws.onopen = () => {
      if (socket !== ws) return;
      Object.assign(status, { requestInProgress: false, errorCount: 0, errorStatus: -1, retrying: false, websocketOpen: true });
    };
    ws.onclose = (ev) => {
      if (socket !== ws) return;
      Object.assign(status, { requestInProgress: false, errorStatus: 0, text: 'Server unreachable', retrying: true, websocketOpen: false });
      if (ev.code !== 1000) status.errorCount++;
    };
    ws.onerror = () => {
      if (socket !== ws) return;
      status.requestInProgress = false;
      status.retrying = true;
      status.errorCount++;
    };
    ws.onmessage = (ev) => {
      const bytes = new Uint8Array(ev.data);
      const code = (bytes[0] << 8) | bytes[1];
      if (code === 0) received(bytes.subarray(2));
      else if (code === 409) Object.assign(status, { errorStatus: 409, text: 'Session expired', retrying: false, requestInProgress: false });
      else Object.assign(status, { errorStatus: code, text: 'Error ' + code, retrying: false, requestInProgress: false });
    };
  }

  function sendWebsocket() {
    if (!WEBSOCKETS_SUPPORTED || status.errorCount >= 10) {
      const tooMany = status.errorCount >= 10;
      status.errorCount = 0;
      status.retrying = true;
      status.usingWebsocket = false;
      if (socket) { const s = socket; socket = null; s.close(); }
      if (tooMany) console.log('Too many websocket errors, falling back to http');
      return;
    }
    if (!socket || (socket.readyState !== WebSocket.OPEN && socket.readyState !== WebSocket.CONNECTING)) {
      openSocket();
      return;
    }
    if (socket.readyState !== WebSocket.OPEN) return;
    let text;
    if (status.errorCount === 0) text = status.wsUrlPrefix + buildRequest();
    else if (status.retrying) { console.log('No response, resending previous request.'); text = status.lastUrl; }
    else return;
    status.lastUrl = text;
    status.requestInProgress = true;
    socket.send(text);
  }

  function post(url, onDone) {
    const xhr = new XMLHttpRequest();
    xhr.open('POST', url, true);
    xhr.timeout = 6000;
    xhr.responseType = 'arraybuffer';
    xhr.onloadend = () => onDone(xhr);
    xhr.send('');
  }

  function startReconnectPoll() {
    polling = true;
    status.requestInProgress = true;
    status.retryIn = 5;
    const url = 'http://' + window.lmxUrl + status.xhrUrlPrefix + 'update' + GUI_INDEX + '/';
    let waiting = false;
    setInterval(() => {
      if (waiting) return;
      if (status.retryIn > 0) { status.retryIn -= 1; return; }
      waiting = true;
      post(url, (xhr) => {
        waiting = false;
        if (xhr.status === 0) status.retryIn = 10;
        else window.location.reload();
      });
    }, 1000);
  }

  function sendHttp() {
    let url;
    if (status.errorCount === 0) url = 'http://' + window.lmxUrl + status.xhrUrlPrefix + buildRequest();
    else if (status.retrying) {
      if (status.errorCount >= 10) {
        status.errorCount = 0;
        startReconnectPoll();
        return;
      }
      console.log('NO RESPONSE: RESENDING PREVIOUS REQUEST!');
      url = status.lastUrl;
    } else return;
    status.lastUrl = url;
    status.requestInProgress = true;
    post(url, (xhr) => {
      if (polling) return;
      if (xhr.status === 200) received(new Uint8Array(xhr.response || new ArrayBuffer(0)));
      else if (xhr.status === 0) {
        status.errorCount++;
        Object.assign(status, { errorStatus: 0, text: 'Server unreachable', retrying: true, requestInProgress: false });
      } else if (xhr.status === 409) {
        Object.assign(status, { errorStatus: 409, text: xhr.statusText + '; session expired', retrying: false, requestInProgress: false });
      } else {
        Object.assign(status, { errorStatus: xhr.status, text: xhr.statusText, retrying: false, requestInProgress: false });
      }
    });
  }

  function sendRequest() {
    if (polling) return;
    if (status.usingWebsocket) sendWebsocket();
    else sendHttp();
  }

  function step() {
    if (status.usingWebsocket && !status.websocketOpen && status.requestStepCount >= 0) {
      status.requestStepCount++;
      if (status.requestStepCount > 10000) {
        console.log('Websockets appear to fail, falling back to non-websocket connection now. This will use more bandwidth. Restarting the browser might help.');
        status.usingWebsocket = false;
        status.requestInProgress = false;
      }
    } else if (status.websocketOpen) status.requestStepCount = -1;
    if (pendingReply) {
      const reply = pendingReply;
      pendingReply = null;
      sendRequest();
      P.decodeReply(reply);
    } else if (!status.requestInProgress) sendRequest();
    if (status.errorStatus < 0 || status.retrying) window.requestAnimationFrame(step);
  }

  window.addEventListener('beforeunload', () => { if (socket) socket.close(1000); });

  // ---------------------------------------------------------------- helpers shared by components
  function mergeOptions(list) {
    return Object.assign({ renderAsIcon: '', sizePolicy: '', withPasteIcon: false, mono: false }, ...(list || []));
  }
  function mergeContext(ctx) {
    return Object.assign({ vertical: false, compact: false, inGroup: false, asLabel: false, small: false, right: false, inMenu: false }, ctx || {});
  }
  function typeName(w) { return P.isKnown(w) ? P.nameOf[w.type] : 'unknown'; }
  function shown(id) {
    if (!declared(id)) return false;
    const w = getWidget(id);
    return w.active && (P.isKnown(w) || true);
  }
  // Is anything inside a layout item active (declared and reported shown by the server)?
  function itemActive(item) {
    if (!item || typeof item !== 'object') return false;
    if (item.widget !== undefined) return declared(item.widget) && T[item.widget] !== WT.OMITTED && getWidget(item.widget).active;
    if (item.group !== undefined) return (item.widgets || []).some(itemActive);
    if (item.togglePage !== undefined) return declared(item.togglePage) && getWidget(item.togglePage).active;
    if (item.listGroup !== undefined) return declared(item.listGroup) && getWidget(item.listGroup).active;
    if (item.menu !== undefined) {
      return declared(item.menu) && getWidget(item.menu).active &&
        ((item.menuWidgets || []).some(itemActive) || (item.menuColumns || []).some((c) => (c.menuWidgets || []).some(itemActive)));
    }
    if (item.controlGroup !== undefined) return (item.controlGroupContents || []).some(itemActive);
    if (item.section !== undefined) return (item.sectionContents || []).some(itemActive);
    return false;
  }
  function hasAdvanced(items) { return (items || []).some((i) => i && i.advanced); }

  const mountMixin = {
    created() { this.mountIds().forEach((id) => SetActiveWidget(getWidget(id), true)); },
    beforeDestroy() { this.mountIds().forEach((id) => SetActiveWidget(getWidget(id), false)); },
  };

  // ---------------------------------------------------------------- widget components
  Vue.component('kv-unknown', {
    props: ['w'],
    template: '<div class="kv-unknown">UNKNOWN COMPONENT {{ w.id }}</div>',
  });

  Vue.component('kv-bool', {
    props: ['w', 'options', 'context'],
    computed: {
      shownOn() { return this.w.show_inverted ? !this.w.value : !!this.w.value; },
    },
    methods: {
      toggle() { if (this.w.editable) P.SetBoolean(this.w, !this.w.value); },
    },
    template: `
      <button v-if="options.renderAsIcon" type="button" class="btn btn-sm kv-icon-button" :class="{ 'kv-dim': !shownOn }"
              :disabled="!w.editable" :title="w.label" @click="toggle">
        <i :class="options.renderAsIcon"></i><span v-if="context.small && !context.inMenu" class="ml-1">{{ w.label }}</span>
      </button>
      <div v-else class="custom-control" :class="w.type === ${WT.BOOL_SWITCH} ? 'custom-switch' : 'custom-checkbox'">
        <input type="checkbox" class="custom-control-input" :id="'input' + w.id" :checked="shownOn" :disabled="!w.editable"
               @click.prevent="toggle">
        <label class="custom-control-label" :for="'input' + w.id" @click.prevent="toggle">&nbsp;</label>
      </div>`,
  });

  Vue.component('kv-status', {
    props: ['w', 'options'],
    computed: {
      icon() { return this.options.renderAsIcon || (this.w.value ? 'fas fa-circle-check' : 'fas fa-circle-xmark'); },
    },
    template: '<span class="kv-status" :class="{ \'kv-status-on\': w.value, \'kv-status-active\': w.enabled }" :title="w.label"><i :class="icon"></i></span>',
  });

  Vue.component('kv-button', {
    props: ['w', 'options'],
    template: `<button type="button" class="btn btn-secondary btn-sm" :disabled="!w.enabled" @click="press" :title="w.label">
                 <i v-if="options.renderAsIcon" :class="options.renderAsIcon"></i><span v-else>{{ w.label }}</span></button>`,
    methods: { press() { P.SetButton(this.w); } },
  });

  Vue.component('kv-link', {
    props: ['w'],
    data() { return { chosen: false }; },
    mounted() { if (this.w.is_upload) this.makePond(); },
    watch: { 'w.is_upload'(v) { if (v) this.$nextTick(() => this.makePond()); } },
    beforeDestroy() { if (this.pond) this.pond.destroy(); },
    methods: {
      makePond() {
        if (this.pond || !this.$refs.file) return;
        this.pond = FilePond.create(this.$refs.file, {
          allowDrop: false, allowMultiple: false, instantUpload: false, credits: false,
          labelIdle: '<span class="filepond--label-action">Browse for files</span>',
          onaddfile: () => { this.chosen = true; }, onremovefile: () => { this.chosen = false; },
        });
      },
      upload() {
        const item = this.pond && this.pond.getFile();
        if (!item) return;
        const form = new FormData();
        form.append('selectedFile' + this.w.id, item.file, item.file.name);
        fetch(this.w.url, { method: 'POST', body: form }).catch((e) => console.log('Upload failed: ' + e));
      },
    },
    template: `
      <div v-if="w.is_upload" class="kv-upload">
        <input type="file" ref="file">
        <button type="button" class="btn btn-primary btn-sm" :disabled="!chosen || !w.enabled" @click="upload">{{ w.label }}</button>
      </div>
      <span v-else-if="w.enabled"><a :href="w.url">{{ w.label }}</a></span>
      <span v-else>{{ w.label }} (unavailable)</span>`,
  });

  const TEXT_FILTER = { [WT.DEC]: /[^0-9]/g, [WT.HEX]: /[^0-9a-fA-F]/g };
  Vue.component('kv-text', {
    props: ['w', 'header'],
    data() { return { focused: false, entry: '' }; },
    computed: {
      width() { return this.header && !this.focused ? 1 : Math.min(64, this.w.max_len || 10); },
      shownText() {
        if (this.w.is_password) {
          if (this.focused || this.entry) return this.entry;
          return this.w.value_text === '*' ? '********' : '';
        }
        if (this.focused) return this.entry;
        return this.w.value_text;
      },
    },
    watch: {
      'w.value_text'(v) { if (this.w.is_password && v === '' && this.entry && !this.w.dirty) { this.entry = ''; this.w.entry = ''; } },
    },
    methods: {
      focus(ev) {
        this.focused = true;
        if (!this.w.is_password) this.entry = this.w.value_text_editable;
        this.$nextTick(() => ev.target.select());
      },
      blur() { this.focused = false; },
      input(ev) {
        let text = ev.target.value;
        const filter = TEXT_FILTER[this.w.type];
        if (filter && !this.header) { text = text.replace(filter, ''); ev.target.value = text; }
        this.entry = text;
        if (this.w.type === WT.STRING) { this.w.entry = text; P.SetString(this.w, text); } else P.SetSliderString(this.w, text);
      },
    },
    template: `
      <span v-if="!w.editable && !header" class="kv-text-value">{{ w.value_text }}</span>
      <input v-else class="form-control form-control-sm kv-text" :class="{ 'kv-text-header': header }"
             :type="w.is_password ? 'password' : 'text'" :size="width" :value="shownText" :disabled="!w.editable"
             :autocomplete="w.is_password ? (w.dont_store_password ? 'new-password' : 'current-password') : 'off'"
             :id="'text' + w.id" @focus="focus" @blur="blur" @input="input" @keydown.enter="$event.target.blur()">`,
  });

  Vue.component('kv-slider', {
    props: ['w'],
    data() { return { dragging: false, pos: 0, mode: 0, hover: false, armed: false, wheel: 0 }; },
    computed: {
      fill() { return ((this.dragging ? this.pos : this.w.value) * 100).toFixed(2) + '%'; },
      def() { return this.w.positions > 0 ? this.w.default_position / this.w.positions : 0; },
      showCaret() { return this.w.position !== this.w.default_position; },
    },
    methods: {
      travel() { const bar = this.$refs.bar; return Math.max(1, bar.clientWidth - 12); },
      modeOf(ev) { return ev.ctrlKey ? 1 : (ev.shiftKey ? 2 : 0); },
      down(ev) {
        if (!this.w.editable) return;
        if (ev.button === 2) {
          ev.preventDefault();
          if (this.dragging) { this.mode = 1; return; }
          P.DragSlider(this.w, this.def, 0);
          return;
        }
        this.armed = true;
        this.mode = this.modeOf(ev);
        this.dragging = true;
        const rect = this.$refs.bar.getBoundingClientRect();
        this.lastX = ev.clientX;
        if (ev.target === this.$refs.handle || ev.ctrlKey) this.pos = this.w.value;
        else {
          this.pos = Math.min(1, Math.max(0, (ev.clientX - rect.left - 6) / this.travel()));
          P.DragSlider(this.w, this.pos, this.mode);
        }
        window.addEventListener('mousemove', this.move);
        window.addEventListener('mouseup', this.up);
      },
      move(ev) {
        const dx = ev.clientX - this.lastX;
        this.lastX = ev.clientX;
        this.mode = this.modeOf(ev);
        let p = this.pos + dx / this.travel();
        if (this.mode === 1 && (p < 0 || p > 1)) return;
        this.pos = Math.min(1, Math.max(0, p));
        P.DragSlider(this.w, this.pos, this.mode);
      },
      up() {
        this.dragging = false;
        window.removeEventListener('mousemove', this.move);
        window.removeEventListener('mouseup', this.up);
      },
      onWheel(ev) {
        if (!this.w.editable || !(this.armed || ev.ctrlKey || ev.shiftKey)) return;
        ev.preventDefault();
        this.wheel += -ev.deltaY / 150;
        P.StepSlider(this.w, this.wheel, this.modeOf(ev));
      },
      key(ev) {
        if (!this.w.editable) return;
        const steps = { ArrowLeft: [-1, 1], ArrowRight: [1, 1], ArrowDown: [-1, 2], ArrowUp: [1, 2] }[ev.key];
        if (!steps) return;
        ev.preventDefault();
        P.StepSlider(this.w, steps[0], steps[1]);
      },
    },
    watch: { 'w.revision'() { if (!this.w.dirty) this.wheel = 0; } },
    template: `
      <div class="kv-slider" :class="{ 'kv-disabled': !w.editable, 'kv-slow': mode === 1 && dragging }" tabindex="0"
           ref="bar" @mousedown="down" @contextmenu.prevent @wheel="onWheel" @keydown="key"
           @mouseenter="hover = true" @mouseleave="hover = false">
        <div class="kv-slider-track"><div class="kv-slider-fill" :style="{ width: fill }"></div></div>
        <div class="kv-slider-handle" ref="handle" :style="{ left: 'calc((100% - 12px) * ' + (dragging ? pos : w.value) + ')' }"></div>
        <div v-if="showCaret" class="kv-slider-caret" :style="{ left: 'calc((100% - 12px) * ' + def + ' + 6px)' }"></div>
        <div v-if="dragging" class="kv-tooltip">{{ w.value_text }}</div>
      </div>`,
  });

  Vue.component('kv-enum', {
    props: ['w', 'options', 'context'],
    data() { return { open: false }; },
    computed: {
      chosen() { const o = this.w.options.find((x) => x.value === this.w.value); return o ? o.text : ''; },
      tree() {
        // Flatten the levelled option list into rows with their depth; headings are not selectable.
        const rows = []; let depth = 0;
        for (const o of this.w.options) {
          if (o.level > 0) { depth = o.level; rows.push({ heading: true, text: o.text, depth: depth - 1 }); continue; }
          if (o.level < 0) depth = 0;
          rows.push({ heading: false, option: o, depth: depth });
        }
        return rows;
      },
    },
    methods: {
      toggle() {
        this.open = !this.open;
        if (this.open) this.$nextTick(() => { this.popper = new Popper(this.$refs.button, this.$refs.menu, { placement: 'bottom-start' }); });
        else this.closeMenu();
      },
      closeMenu() { this.open = false; if (this.popper) { this.popper.destroy(); this.popper = null; } },
      choose(o) {
        if (!o.selectable || !this.w.editable) return;
        P.SetEnum(this.w, o.value);
        this.closeMenu();
      },
      outside(ev) { if (this.open && !this.$el.contains(ev.target)) this.closeMenu(); },
    },
    mounted() { document.addEventListener('click', this.outside); },
    beforeDestroy() { document.removeEventListener('click', this.outside); this.closeMenu(); },
    template: `
      <div class="kv-enum">
        <button type="button" ref="button" class="btn btn-light btn-sm dropdown-toggle kv-enum-button"
                :disabled="!w.editable" @click="toggle" :title="w.label">
          <i v-if="options.renderAsIcon" :class="options.renderAsIcon"></i>
          <span v-else-if="!(context.small && w.type === ${WT.ENUM})">{{ chosen || w.label }}</span>
        </button>
        <div v-show="open" ref="menu" class="dropdown-menu kv-enum-menu" :class="{ show: open }">
          <template v-for="(row, i) in tree">
            <h6 v-if="row.heading" :key="'h' + i" class="dropdown-header" :style="{ paddingLeft: (1 + row.depth) + 'rem' }">{{ row.text }}</h6>
            <a v-else :key="'o' + i" href="#" class="dropdown-item"
               :class="{ active: row.option.value === w.value, disabled: !row.option.selectable }"
               :style="{ paddingLeft: (1.5 + row.depth) + 'rem' }" @click.prevent="choose(row.option)">{{ row.option.text }}</a>
          </template>
        </div>
      </div>`,
  });

  Vue.component('kv-list-count', {
    props: ['w'],
    template: '<span class="kv-text-value">{{ w.value }}</span>',
  });

  // Meters: fractions 0..1 of the bar; negative values are not drawn.
  function meterBars(v, origin, inverted) {
    const f = (x) => (inverted && x >= 0 ? 1 - x : x);
    const bars = [];
    const main = f(v.main); const extra = f(v.extra); const overlay = f(v.overlay); const median = f(v.median);
    if (origin) {
      const o = origin;
      const value = main >= o ? main : extra;
      if (value >= 0) bars.push({ cls: 'kv-meter-main', from: Math.min(o, value), to: Math.max(o, value) });
    } else {
      if (main >= 0) bars.push({ cls: 'kv-meter-main', from: 0, to: main });
      if (extra > main && extra >= 0) bars.push({ cls: 'kv-meter-extra', from: Math.max(0, main), to: extra });
    }
    if (overlay >= 0) bars.push({ cls: v.gate ? 'kv-meter-gate' : 'kv-meter-overlay', from: 0, to: overlay });
    if (median >= 0) bars.push({ cls: 'kv-meter-median', from: median, to: median });
    return bars;
  }
  Vue.component('kv-meter', {
    props: ['w', 'options', 'context'],
    computed: {
      rows() {
        const w = this.w;
        const inverted = w.scale.range < 0;
        if (w.type === WT.DISPLAYONE) {
          if (this.options.mono) console.log('Widget ' + w.id + ' does not support option \'mono\'');
          return [{ bars: meterBars(w.meter, w.origin, inverted), alt: !!w.meter.scheme }];
        }
        const m = w.meters;
        if (!m) return [];
        const side = (i) => ({ main: m.main[i], extra: m.extra[i], overlay: m.overlay[i], median: m.median[i], gate: m.gate });
        if (this.options.mono) {
          const avg = (a) => (a[0] < 0 || a[1] < 0 ? -1 : (a[0] + a[1]) / 2);
          const v = { main: avg(m.main), extra: avg(m.extra), overlay: avg(m.overlay), median: avg(m.median), gate: m.gate };
          return [{ bars: meterBars(v, w.origin, inverted), alt: m.scheme[0] || m.scheme[1] }];
        }
        return [0, 1].map((i) => ({ bars: meterBars(side(i), w.origin, inverted), alt: m.scheme[i] }));
      },
    },
    template: `
      <div class="kv-meters" :class="{ 'kv-vertical': context.vertical }" :title="w.label">
        <div v-for="(row, r) in rows" :key="r" class="kv-meter" :class="{ 'kv-meter-alt': row.alt }">
          <div v-for="(b, i) in row.bars" :key="i" :class="b.cls"
               :style="context.vertical ? { bottom: (b.from * 100) + '%', height: ((b.to - b.from) * 100) + '%' }
                                        : { left: (b.from * 100) + '%', width: ((b.to - b.from) * 100) + '%' }"></div>
        </div>
        <div v-if="w.meter && w.meter.error" class="kv-meter-error">{{ w.meter.error }}</div>
      </div>`,
  });

  Vue.component('kv-dbs', {
    props: ['w'],
    computed: {
      units() {
        const s = this.w.scale;
        const n = Math.abs(s.range);
        const d = s.range >= 0 ? s.start + s.range : s.start;
        const out = [];
        for (let i = 0; i < n; i++) {
          const value = d - i;
          const tick = s.secondary_step && value % s.secondary_step === 0;
          const label = i > 0 && s.primary_step && value % s.primary_step === 0 ? (value >= 0 ? '+' : '') + value : '';
          out.push({ tick: tick, label: label });
        }
        return out;
      },
    },
    template: `<div class="kv-scale"><div v-for="(u, i) in units" :key="i" class="kv-scale-unit" :class="{ 'kv-tick': u.tick }"><span v-if="u.label">{{ u.label }}</span></div></div>`,
  });

  Vue.component('kv-errors', {
    props: ['w'],
    data() { return { open: false }; },
    computed: {
      entries() { return this.w.errors.map((e, i) => Object.assign({ index: i }, e)).filter((e) => e.count > 0); },
    },
    methods: {
      toggle() {
        this.open = !this.open;
        if (this.open) this.$nextTick(() => { this.popper = new Popper(this.$refs.button, this.$refs.panel, { placement: 'bottom-end' }); });
      },
      outside(ev) { if (this.open && !this.$el.contains(ev.target)) { this.open = false; } },
      dismiss(i) { P.ClearError(this.w, i); },
      clearAll() { this.w.errors.forEach((e, i) => P.ClearError(this.w, i)); },
    },
    mounted() { document.addEventListener('click', this.outside); },
    beforeDestroy() { document.removeEventListener('click', this.outside); if (this.popper) this.popper.destroy(); },
    template: `
      <div class="kv-errors">
        <button type="button" ref="button" class="btn btn-sm kv-icon-button" :class="{ 'kv-alert': entries.length }" @click="toggle" title="Log">
          <i class="fas fa-triangle-exclamation"></i></button>
        <div v-show="open" ref="panel" class="card kv-error-panel">
          <div class="card-header">Log</div>
          <div class="card-body">
            <div v-if="!entries.length" class="text-muted">No messages</div>
            <div v-for="e in entries" :key="e.index" class="card kv-error-entry">
              <div class="card-body p-2">{{ e.text }} <a href="#" class="float-right" @click.prevent="dismiss(e.index)">Dismiss</a></div>
              <div class="card-footer p-1 small text-muted">{{ e.time }}<span v-if="e.count > 1" class="float-right">{{ e.count }}x</span></div>
            </div>
            <a href="#" @click.prevent="clearAll">Clear all</a>
          </div>
        </div>
      </div>`,
  });

  // ---------------------------------------------------------------- canvas widgets
  const WAVE_RGB = '63, 191, 237';
  function strokeColumn(ctx, x, top, bottom, rgb, alpha) {
    if (bottom < top) return;
    ctx.fillStyle = 'rgba(' + rgb + ', ' + alpha + ')';
    ctx.fillRect(x, top, 1, bottom - top + 1);
  }
  function drawWave(ctx, pic, view) {
    const W = pic.width; const H = pic.height; const d = pic.words;
    let i = 0;
    const clear = d[i++]; const shift = d[i++]; const first = d[i++];
    view.span = (d[i] | (d[i + 1] << 16)) >>> 0; i += 2;
    if (clear) { ctx.fillStyle = 'rgba(38, 38, 38, 0.1)'; ctx.fillRect(0, 0, W, H); }
    else if (shift > 0) {
      ctx.drawImage(ctx.canvas, shift, 0, W - shift, H, 0, 0, W - shift, H);
      ctx.fillStyle = 'rgb(38, 38, 38)';
      ctx.fillRect(Math.max(0, W - shift - 3), 0, shift + 3, H);
    }
    for (let x = first; x < W && i + 8 <= d.length; x++, i += 8) {
      if (!clear && shift === 0) { ctx.fillStyle = 'rgb(38, 38, 38)'; ctx.fillRect(x, 0, 1, H); }
      const ranges = [[d[i], d[i + 5], 0.4], [d[i + 1], d[i + 4], 0.7], [d[i + 2], d[i + 3], 1]];
      const upper = d[i + 6]; const lower = d[i + 7];
      for (const [top, bottom, alpha] of ranges) {
        strokeColumn(ctx, x, top, bottom, WAVE_RGB, alpha);
        strokeColumn(ctx, x, top, Math.min(bottom, upper - 1), '255, 50, 0', alpha);
        strokeColumn(ctx, x, Math.max(top, lower + 1), bottom, '255, 50, 0', alpha);
      }
    }
    ctx.fillStyle = 'rgb(100, 100, 100)';
    for (const y of [Math.floor(H / 7), Math.floor(H / 2), Math.floor(H - H / 7)]) ctx.fillRect(0, y, W, 1);
  }
  function drawMpx(ctx, pic, view) {
    const W = pic.width; const H = pic.height; const d = pic.words;
    if (view.previous) for (let x = 0; x < view.previous.length; x++) {
      const p = view.previous[x];
      strokeColumn(ctx, x, p[0], p[1], '120, 120, 120', 1);
    }
    ctx.fillStyle = 'rgba(38, 38, 38, 0.1)';
    ctx.fillRect(0, 0, W, H);
    const prev = [];
    for (let x = 0, i = 0; x < W && i + 6 <= d.length; x++, i += 6) {
      strokeColumn(ctx, x, d[i], d[i + 5], WAVE_RGB, 0.4);
      strokeColumn(ctx, x, d[i + 1], d[i + 4], WAVE_RGB, 0.7);
      strokeColumn(ctx, x, d[i + 2], H - 1, WAVE_RGB, 1);
      prev.push([d[i], d[i + 5]]);
    }
    view.previous = prev;
    ctx.fillStyle = 'rgb(100, 100, 100)';
    for (let k = 1; k <= 8; k++) ctx.fillRect(0, Math.floor(k * H / 9), W, 1);
  }
  function spanText(span) {
    if (span == null) return 'n/a';
    const s = span / 2048;
    if (s >= 1) return s.toFixed(1) + 's';
    if (s >= 0.001) return Math.floor(s * 1000) + 'ms';
    return Math.floor(s * 1e6) + 'µs';
  }

  Vue.component('kv-canvas', {
    props: ['w'],
    data() { return { hover: false, span: null }; },
    mounted() {
      const w = this.w;
      let index = w.view.findIndex((v) => v.destroyed);
      if (index < 0) { index = w.view.length; w.view.push({}); }
      const view = Object.assign(w.view[index], {
        browserWidth: 0, browserHeight: 0, viewing: false, destroyed: false, forced: true, is_new: true, resized: false,
        dirty: 0, dirty_value: 0, previous: null, span: null,
      });
      this.view = view;
      this.viewIndex = index;
      const canvas = this.$refs.canvas;
      view.onPicture = (pic) => this.draw(pic);
      this.observer = new ResizeObserver(() => this.resize());
      this.observer.observe(this.$refs.box);
      this.intersection = new IntersectionObserver((e) => { this.visible = e[0].isIntersecting; this.resize(); });
      this.intersection.observe(this.$refs.box);
      this.canvas = canvas;
    },
    beforeDestroy() {
      this.observer.disconnect();
      this.intersection.disconnect();
      this.view.destroyed = true;
      this.view.viewing = false;
      this.view.onPicture = null;
    },
    methods: {
      resize() {
        const box = this.$refs.box;
        const max = P.maxWidth[this.w.type] || 1024;
        const width = Math.min(Math.ceil(box.clientWidth), max);
        const height = Math.ceil(box.clientHeight);
        const v = this.view;
        if (width <= 0 || height <= 0 || this.visible === false) { v.viewing = false; return; }
        this.canvas.style.width = width + 'px';
        this.canvas.style.height = height + 'px';
        Object.assign(v, { viewing: true, is_new: true, forced: true, browserWidth: width, browserHeight: height });
      },
      draw(pic) {
        const canvas = this.canvas;
        const v = this.view;
        if (!pic.width || !pic.height || !this.w.active) return;
        const ctx = canvas.getContext('2d');
        if (canvas.width !== pic.width || canvas.height !== pic.height || v.is_new) {
          canvas.width = pic.width; canvas.height = pic.height; v.is_new = false; v.previous = null;
          ctx.fillStyle = 'rgb(38, 38, 38)'; ctx.fillRect(0, 0, pic.width, pic.height);
        }
        if (!this.w.enabled) { ctx.fillStyle = 'rgb(64, 70, 71)'; ctx.fillRect(0, 0, pic.width, pic.height); return; }
        if (this.w.type === WT.MPX) drawMpx(ctx, pic, v);
        else drawWave(ctx, pic, v);
        this.span = v.span;
      },
      zoom(amount) { P.SetZoom(this.w, amount, this.viewIndex); },
    },
    computed: { spanText() { return spanText(this.span); }, isWave() { return this.w.type !== WT.MPX; } },
    template: `
      <div class="kv-canvas-box" ref="box" @mouseenter="hover = true" @mouseleave="hover = false">
        <canvas ref="canvas" class="kv-canvas" :id="'canvas' + w.id"></canvas>
        <div v-if="isWave && w.editable && hover" class="kv-canvas-overlay">
          <span class="kv-span">{{ spanText }}</span>
          <button type="button" class="btn btn-sm btn-light" title="Zoom in" @click="zoom(-10)"><i class="fas fa-magnifying-glass-plus"></i></button>
          <button type="button" class="btn btn-sm btn-light" title="Zoom out" @click="zoom(10)"><i class="fas fa-magnifying-glass-minus"></i></button>
        </div>
      </div>`,
  });

  // ---------------------------------------------------------------- widget frame
  const COMPONENT = {
    [WT.BOOL_CHECK]: 'kv-bool', [WT.BOOL_SWITCH]: 'kv-bool', [WT.BOOL_STATUS]: 'kv-status', [WT.SLIDER]: 'kv-slider',
    [WT.HEX]: 'kv-text', [WT.DEC]: 'kv-text', [WT.STRING]: 'kv-text', [WT.ENUM]: 'kv-enum', [WT.ENUMACTION2]: 'kv-enum',
    [WT.BUTTON]: 'kv-button', [WT.LINK]: 'kv-link', [WT.DISPLAYONE]: 'kv-meter', [WT.DISPLAYTWO]: 'kv-meter',
    [WT.DISPLAYDBS]: 'kv-dbs', [WT.CORVIXKOEKERROR]: 'kv-errors', [WT.WAVE]: 'kv-canvas', [WT.DCWAVE]: 'kv-canvas',
    [WT.MPX]: 'kv-canvas', [WT.LISTMANAGER]: 'kv-list-count',
  };
  const NO_HEADER = new Set([WT.DISPLAYDBS, WT.WAVE, WT.DCWAVE, WT.MPX, WT.MBBANDS, WT.PEQ, WT.RF, WT.SPECTRUM,
    WT.KESTRAVARECEIVER, WT.DISPLAYONE, WT.DISPLAYTWO, WT.BUTTON, WT.CORVIXKOEKERROR, WT.ENUMACTION2, WT.ENUMACTION2A, WT.LINK]);
  const FULL_WIDTH = new Set([WT.WAVE, WT.DCWAVE, WT.MPX, WT.DISPLAYONE, WT.DISPLAYTWO, WT.DISPLAYDBS, WT.SLIDER, WT.LINK]);

  Vue.component('template-widget', {
    mixins: [mountMixin],
    props: { id: Number, widgetOptions: Array, context: Object, governedBy: { type: Number, default: -1 } },
    computed: {
      w() { return getWidget(this.id); },
      opts() { return mergeOptions(this.widgetOptions); },
      ctx() { return mergeContext(this.context); },
      omitted() { return !declared(this.id) || this.w.type === WT.OMITTED; },
      component() { return P.isKnown(this.w) ? COMPONENT[this.w.type] : 'kv-unknown'; },
      governor() { return this.governedBy >= 0 ? getWidget(this.governedBy) : null; },
      disabled() {
        if (this.w.type === WT.BOOL_STATUS) return false;
        return !this.w.enabled || (this.governor && !(this.governor.show_inverted ? !this.governor.value : this.governor.value));
      },
      header() {
        const w = this.w; const c = this.ctx;
        if (c.small || c.inGroup || c.vertical || NO_HEADER.has(w.type) || !P.isKnown(w)) return false;
        if ((w.type === WT.BOOL_CHECK || w.type === WT.BOOL_SWITCH) && this.opts.renderAsIcon) return false;
        if (w.type === WT.HEADER) return false;
        return true;
      },
      full() {
        const t = this.w.type;
        return FULL_WIDTH.has(t) || (t === WT.ENUM && !this.opts.renderAsIcon) || (t === WT.STRING && this.w.supports_newline);
      },
    },
    methods: { mountIds() { return this.omitted ? [] : [this.id]; } },
    template: `
      <div v-if="omitted || w.type === ${WT.HEADER}"></div>
      <div v-else-if="!w.active" :id="'widget-1'" class="kv-widget-placeholder" style="display:none"></div>
      <div v-else :id="'widget' + id" class="kv-widget" :data-type="w.type"
           :class="{ 'kv-disabled': disabled, 'kv-full': full, 'kv-readonly': !w.enabled,
                     'kv-status-enabled': w.type === ${WT.BOOL_STATUS} && w.enabled,
                     'kv-status-value': w.type === ${WT.BOOL_STATUS} && w.value, 'kv-small': ctx.small }">
        <span v-if="ctx.asLabel" class="kv-label">{{ w.label }}</span>
        <template v-else>
          <div v-if="header || ctx.compact" class="kv-widget-header">
            <label class="kv-label" :for="'input' + id">{{ ctx.compact ? '' : w.label }}</label>
            <kv-text v-if="w.type === ${WT.SLIDER} && !ctx.compact" :w="w" :header="true"></kv-text>
          </div>
          <component :is="component" :w="w" :options="opts" :context="ctx"></component>
        </template>
      </div>`,
  });

  // ---------------------------------------------------------------- layout structures
  Vue.component('kv-item', {
    props: ['item', 'context', 'showAdvanced'],
    computed: {
      kind() {
        const i = this.item;
        if (i.widget !== undefined) return 'widget';
        if (i.group !== undefined) return 'group';
        if (i.togglePage !== undefined) return 'toggle';
        return 'none';
      },
      visible() { return (!this.item.advanced || this.showAdvanced) && itemActive(this.item); },
    },
    template: `
      <div v-show="visible" class="kv-item" :class="'kv-item-' + kind">
        <template-widget v-if="kind === 'widget'" :id="item.widget" :widget-options="item.widgetOptions" :context="context"></template-widget>
        <kv-group v-else-if="kind === 'group'" :item="item" :context="context" :show-advanced="showAdvanced"></kv-group>
        <kv-toggle-page v-else-if="kind === 'toggle'" :item="item"></kv-toggle-page>
      </div>`,
  });

  Vue.component('kv-group', {
    props: ['item', 'context', 'showAdvanced'],
    computed: {
      inner() { return Object.assign({}, this.context, { inGroup: true }); },
      checkbox() {
        const ws = this.item.widgets || [];
        return ws.length === 2 && ws[0].widget !== undefined && ws[1].widget !== undefined ? ws : null;
      },
      firstLabel() {
        const first = (this.item.widgets || []).find((x) => x.widget !== undefined && declared(x.widget));
        return first ? getWidget(first.widget).label : '';
      },
    },
    template: `
      <div v-if="item.group === 'checkbox'" class="kv-group kv-group-checkbox">
        <template v-if="checkbox">
          <div class="kv-group-label">{{ firstLabel }}</div>
          <div class="d-flex align-items-center">
            <template-widget :id="checkbox[0].widget" :context="Object.assign({}, inner, { small: true })"></template-widget>
            <template-widget :id="checkbox[1].widget" :widget-options="checkbox[1].widgetOptions" :context="inner"
                             :governed-by="checkbox[0].widget"></template-widget>
          </div>
        </template>
      </div>
      <div v-else-if="item.group === 'scaled'" class="kv-group">
        <kv-item v-if="(item.widgets || []).length" :item="item.widgets[0]" :context="context" :show-advanced="showAdvanced"></kv-item>
      </div>
      <div v-else class="kv-group">
        <div class="kv-group-label">{{ firstLabel }}</div>
        <div class="kv-group-row">
          <kv-item v-for="(sub, i) in item.widgets" :key="i" :item="sub" :context="inner" :show-advanced="showAdvanced"></kv-item>
        </div>
      </div>`,
  });

  Vue.component('kv-menu', {
    mixins: [mountMixin],
    props: ['item', 'context'],
    data() { return { advanced: false }; },
    computed: {
      m() { return getWidget(this.item.menu); },
      visible() { return declared(this.item.menu) && this.m.active && itemActive(this.item); },
      hasAdvanced() {
        return hasAdvanced(this.item.menuWidgets) || (this.item.menuColumns || []).some((c) => c.advanced || hasAdvanced(c.menuWidgets));
      },
      inner() { return Object.assign({}, this.context, { inMenu: true }); },
    },
    methods: { mountIds() { return declared(this.item.menu) ? [this.item.menu] : []; } },
    template: `
      <div v-show="visible" class="card kv-menu" :id="'menu' + item.menu">
        <div class="card-header kv-menu-header">
          <span>{{ m.label }}</span>
          <a v-if="hasAdvanced" href="#" class="kv-advanced-toggle small" @click.prevent="advanced = !advanced">
            {{ advanced ? 'Hide advanced settings' : 'Show advanced settings' }}</a>
        </div>
        <div class="card-body">
          <kv-item v-for="(it, i) in item.menuWidgets" :key="i" :item="it" :context="inner" :show-advanced="advanced"></kv-item>
          <div v-if="item.menuColumns" class="row">
            <div v-for="(col, c) in item.menuColumns" :key="c" class="col" v-show="!col.advanced || advanced">
              <div v-if="col.columnHeader !== undefined" class="kv-column-header">{{ col.columnHeader }}</div>
              <kv-item v-for="(it, i) in col.menuWidgets" :key="i" :item="it" :context="inner" :show-advanced="advanced"></kv-item>
            </div>
          </div>
        </div>
      </div>`,
  });

  Vue.component('kv-list-group', {
    mixins: [mountMixin],
    props: ['item'],
    data() { return { advanced: false }; },
    computed: {
      list() { return getWidget(this.item.listGroup); },
      rows() { return (this.item.listGroupWidgets || []).slice(0, Math.max(0, this.list.value)); },
      columns() {
        const first = (this.item.listGroupWidgets || [])[0];
        return first ? first.widgets.map((x, i) => ({ index: i, advanced: !!x.advanced })) : [];
      },
      hasAdvanced() { return this.columns.some((c) => c.advanced); },
      canAdd() { return this.list.editable && this.list.value < this.list.max; },
      canDelete() { return this.list.editable && this.list.value > this.list.min; },
    },
    methods: {
      mountIds() { return declared(this.item.listGroup) ? [this.item.listGroup] : []; },
      heading(col) {
        for (const row of this.item.listGroupWidgets || []) {
          const it = row.widgets[col.index];
          if (it && declared(it.widget) && getWidget(it.widget).active) return getWidget(it.widget).label;
        }
        return '';
      },
      add() { P.ActivateListItem(this.list, this.list.value); },
      remove(i) { P.RemoveListItem(this.list, i); },
    },
    template: `
      <div v-show="list.active" class="card kv-menu kv-list-group" :id="'list' + item.listGroup">
        <div class="card-header kv-menu-header">
          <span>{{ list.label }}</span>
          <a v-if="hasAdvanced" href="#" class="kv-advanced-toggle small" @click.prevent="advanced = !advanced">
            {{ advanced ? 'Hide advanced settings' : 'Show advanced settings' }}</a>
        </div>
        <div class="card-body">
          <table class="table table-sm kv-list-table">
            <thead><tr>
              <th v-for="col in columns" :key="col.index" v-show="!col.advanced || advanced">{{ heading(col) }}</th><th></th>
            </tr></thead>
            <tbody>
              <tr v-for="(row, r) in rows" :key="r" class="kv-list-row">
                <td v-for="col in columns" :key="col.index" v-show="!col.advanced || advanced">
                  <template-widget v-if="row.widgets[col.index]" :id="row.widgets[col.index].widget"
                                   :widget-options="row.widgets[col.index].widgetOptions" :context="{ compact: true, inMenu: true }"></template-widget>
                </td>
                <td><button type="button" class="btn btn-sm btn-outline-danger kv-delete" :disabled="!canDelete" title="Delete"
                            @click="remove(r)"><i class="fas fa-trash"></i></button></td>
              </tr>
            </tbody>
          </table>
          <button type="button" class="btn btn-sm btn-primary kv-add" :disabled="!canAdd" @click="add">
            <i class="fas fa-plus"></i> Add item</button>
        </div>
      </div>`,
  });

  Vue.component('kv-control-group', {
    props: ['item'],
    template: `
      <div class="kv-control-group">
        <div class="kv-control-links">
          <a v-for="(m, i) in item.controlGroupContents" :key="i" :href="'#menu' + m.menu" class="mr-2">{{ title(m) }}</a>
        </div>
        <div class="d-flex kv-control-row">
          <kv-menu v-for="(m, i) in item.controlGroupContents" :key="i" :item="m" :context="{ compact: true }"></kv-menu>
          <kv-menu v-if="item.controlGroupComplement" :item="item.controlGroupComplement" :context="{ compact: true }"></kv-menu>
        </div>
      </div>`,
    methods: { title(m) { return declared(m.menu) ? getWidget(m.menu).label : ''; } },
  });

  Vue.component('kv-menu-like', {
    props: ['item'],
    template: `
      <kv-list-group v-if="item.listGroup !== undefined" :item="item"></kv-list-group>
      <kv-menu v-else-if="item.menu !== undefined" :item="item" :context="{}"></kv-menu>
      <kv-control-group v-else-if="item.controlGroup !== undefined" :item="item"></kv-control-group>
      <div v-else></div>`,
  });

  Vue.component('kv-title-widgets', {
    props: ['title'],
    computed: {
      list() {
        const icons = { onWidget: 'fas fa-power-off', locWidget: 'fas fa-location-dot important',
          diffWidget: 'fas fa-play important', hearWidget: 'fas fa-headphones important' };
        return Object.keys(icons).filter((k) => this.title && this.title[k] !== undefined)
          .map((k) => ({ id: this.title[k], icon: icons[k] }));
      },
    },
    template: `<span class="kv-title-widgets"><template-widget v-for="t in list" :key="t.id" :id="t.id"
                 :widget-options="[{ renderAsIcon: t.icon }]" :context="{ small: true, right: true }"></template-widget></span>`,
  });

  Vue.component('kv-section', {
    mixins: [mountMixin],
    props: ['item'],
    computed: {
      s() { return getWidget(this.item.section); },
      visible() { return itemActive(this.item) && (this.item.section === -1 || !declared(this.item.section) || this.s.active); },
    },
    methods: { mountIds() { return this.item.section >= 0 && declared(this.item.section) ? [this.item.section] : []; } },
    template: `
      <section v-show="visible" class="kv-section">
        <h5 v-if="item.section >= 0" class="kv-section-title">{{ s.label }}
          <kv-title-widgets :title="item.sectionTitle"></kv-title-widgets></h5>
        <div class="kv-section-contents">
          <kv-menu-like v-for="(it, i) in item.sectionContents" :key="i" :item="it"></kv-menu-like>
        </div>
      </section>`,
  });

  Vue.component('kv-toggle-page', {
    mixins: [mountMixin],
    props: ['item'],
    data() { return { open: false }; },
    computed: {
      t() { return getWidget(this.item.togglePage); },
      titleId() { return this.item.togglePageTitle && this.item.togglePageTitle.title; },
    },
    methods: {
      mountIds() { return declared(this.item.togglePage) ? [this.item.togglePage] : []; },
      key(ev) { if (ev.key === 'Escape') this.open = false; },
    },
    mounted() { document.addEventListener('keydown', this.key); },
    beforeDestroy() { document.removeEventListener('keydown', this.key); },
    template: `
      <div class="kv-toggle-page">
        <button type="button" class="btn btn-outline-primary btn-sm" :disabled="!t.enabled" @click="open = true">
          {{ t.label }} <i class="fas fa-arrow-up-right-from-square"></i></button>
        <div v-if="open" class="kv-modal" @click.self="open = false">
          <div class="kv-modal-page card">
            <div class="card-header">{{ titleId !== undefined && titleId !== null ? '' : t.label }}
              <kv-title-widgets v-if="item.togglePageTitle" :title="item.togglePageTitle.titleContents"></kv-title-widgets>
              <button type="button" class="close" @click="open = false">&times;</button></div>
            <div class="card-body"><kv-section v-for="(s, i) in item.togglePageContents" :key="i" :item="s"></kv-section></div>
          </div>
        </div>
      </div>`,
  });

  Vue.component('kv-meter-bar', {
    props: ['bar'],
    data() { return { advanced: false }; },
    computed: {
      menus() { return (this.bar.meterBarMenus || []).filter((m) => declared(m.menu)); },
      hasAdvanced() { return this.menus.some((m) => m.advanced); },
    },
    methods: { href(m) { return m.url; } },
    template: `
      <div class="kv-meter-bar">
        <template v-for="(m, i) in menus">
          <router-link v-if="m.url" v-show="!m.advanced || advanced" :key="i" :to="m.url" class="kv-meter-menu">
            <kv-menu :item="m" :context="{ small: true }"></kv-menu></router-link>
          <div v-else v-show="!m.advanced || advanced" :key="i" class="kv-meter-menu"><kv-menu :item="m" :context="{ small: true }"></kv-menu></div>
        </template>
        <a v-if="hasAdvanced" href="#" class="small" @click.prevent="advanced = !advanced">{{ advanced ? 'Fewer meters' : 'More meters' }}</a>
      </div>`,
  });

  function makePageComponent(page) {
    return {
      data() { return { page: page }; },
      computed: {
        p() { return getWidget(page.page); },
        declared() { return declared(page.page); },
        sections() { return (page.pageContents || []).filter((x) => x.section !== undefined); },
      },
      created() { if (page.onLoadTrigger !== undefined) AddTrigger(page.onLoadTrigger); },
      template: `
        <div class="kv-page" :id="'page' + page.page">
          <kv-meter-bar v-if="page.meterBar" :bar="page.meterBar"></kv-meter-bar>
          <div v-if="page.pageTitle && declared" class="kv-page-title"><h4>{{ p.label }}
            <kv-title-widgets :title="page.pageTitle"></kv-title-widgets></h4></div>
          <kv-section v-for="(s, i) in sections" :key="i" :item="s.section === undefined ? s : s"></kv-section>
        </div>`,
    };
  }

  // ---------------------------------------------------------------- navigation
  Vue.component('kv-nav-entry', {
    props: ['entry'],
    template: `
      <li class="nav-item" :class="{ active: entry.selected || entry.holdsSelection, 'kv-inactive': entry.inactive, dropdown: entry.children.length }">
        <router-link v-if="entry.clickable" class="nav-link" :to="entry.value">
          <i v-if="entry.icon" :class="entry.icon"></i> <span v-if="entry.showText">{{ entry.holdsSelection ? entry.selectedText : entry.text }}</span></router-link>
        <span v-else class="nav-link disabled"><i v-if="entry.icon" :class="entry.icon"></i> <span v-if="entry.showText">{{ entry.text }}</span></span>
        <ul v-if="entry.children.length" class="kv-subnav">
          <kv-nav-entry v-for="c in entry.children" :key="c.value" :entry="c"></kv-nav-entry>
        </ul>
      </li>`,
  });

  // ---------------------------------------------------------------- start-up
  const layoutState = Vue.observable({ layout: null, failed: false });

  function pageActive(page) {
    return declared(page.page) && getWidget(page.page).active &&
      ((page.pageContents || []).some((c) => (c.section !== undefined ? itemActive(c) : c.page !== undefined && pageActive(c))));
  }
  function navEntries(pages, parentPath, route) {
    const out = [];
    for (const page of pages || []) {
      if (!declared(page.page)) continue;
      const path = parentPath + page.url;
      const nav = Object.assign({ topBarLocation: 'left', renderAsIcon: '', renderAsText: true }, ...(page.navigationOptions || []));
      if (nav.topBarLocation === 'none') continue;
      const children = navEntries((page.pageContents || []).filter((c) => c.page !== undefined), path, route);
      const w = getWidget(page.page);
      const ownSections = (page.pageContents || []).some((c) => c.section !== undefined);
      const clickable = ownSections && w.active;
      const selected = route === path;
      const selectedChild = children.find((c) => c.selected || c.holdsSelection);
      out.push({
        value: path, text: w.label, icon: nav.renderAsIcon, showText: nav.renderAsText !== false, location: nav.topBarLocation,
        selected: selected, holdsSelection: !!selectedChild, selectedText: selectedChild ? selectedChild.text : w.label,
        clickable: clickable, children: children,
        inactive: !w.active || !pageActive(page) || !(clickable || children.some((c) => c.clickable)),
      });
    }
    return out;
  }

  function routesFor(pages, parentPath) {
    const routes = [];
    for (const page of pages || []) {
      const path = parentPath + page.url;
      routes.push({ path: path, component: makePageComponent(page) });
      routes.push(...routesFor((page.pageContents || []).filter((c) => c.page !== undefined), path));
    }
    return routes;
  }
  function allPages(pages) {
    const out = [];
    for (const p of pages || []) { out.push(p); out.push(...allPages((p.pageContents || []).filter((c) => c.page !== undefined))); }
    return out;
  }

  function startApp(layout) {
    const routes = [];
    if (layout) {
      [layout.top, TITLE_WIDGET].forEach((id) => { if (declared(id)) SetActiveWidget(getWidget(id), true); });
      allPages(layout.pages).forEach((p) => { if (declared(p.page)) SetActiveWidget(getWidget(p.page), true); });
      routes.push(...routesFor(layout.pages, ''));
      const first = layout.pages && layout.pages[0] ? layout.pages[0].url : '/';
      if (first !== '/') routes.push({ path: '/', redirect: first });
    }
    layoutState.layout = layout;
    const router = new VueRouter({ mode: 'history', base: status.xhrUrlPrefix, routes: routes });
    const app = new Vue({
      el: '#dynamic-main-app',
      router: router,
      data: { status: status, layoutState: layoutState, navOpen: false, wide: window.innerWidth > 820 },
      computed: {
        layout() { return layoutState.layout; },
        title() {
          const t = declared(TITLE_WIDGET) ? getWidget(TITLE_WIDGET).value_text : '';
          if (t) return t;
          const top = this.layout && declared(this.layout.top) ? getWidget(this.layout.top).label : '';
          return top || 'Corvix';
        },
        entries() { return this.layout ? navEntries(this.layout.pages, '', this.$route.path) : []; },
        leftEntries() { return this.entries.filter((e) => e.location !== 'right' || !this.wide); },
        rightEntries() { return this.wide ? this.entries.filter((e) => e.location === 'right') : []; },
        notifications() { return this.layout ? (this.layout.notificationWidgets || []) : []; },
      },
      watch: { title: { immediate: true, handler(t) { document.title = t; } } },
      mounted() { window.addEventListener('resize', () => { this.wide = window.innerWidth > 820; }); },
      methods: { renew() { window.location.reload(); } },
    });
    window.kestravaApp = app;
  }

  function loadLayout() {
    const xhr = new XMLHttpRequest();
    xhr.open('GET', GLOBAL_PREFIX + 'layout.json', true);
    xhr.timeout = 12000;
    xhr.responseType = 'json';
    xhr.onloadend = () => {
      if (xhr.status !== 200 || !xhr.response) {
        console.log('Layout request answered ' + xhr.status);
        startApp(null);
        window.alert('Failed to retrieve interface description. Cannot load interface.');
        return;
      }
      startApp(xhr.response);
    };
    xhr.send();
  }

  window.kestravaClient = { status, mounted, getWidget, SetActiveWidget, AddTrigger, step, protocol: P };
  loadLayout();
  window.requestAnimationFrame(step);
})();
