// The phone's page: one HTML text with its style and script, readable on a 360-px screen
// and in the chat apps' browsers (ES5, XMLHttpRequest). Every text the script shows goes
// in through textContent, never as markup.
#include "core/checkin/CheckinHttp.h"
#include "core/net/SignScript.h"
#include "core/text/Gbk.h"

namespace checkin {

namespace {

constexpr std::string_view kHeadStart = R"(<!DOCTYPE html>
<html lang="zh-CN"><head><meta charset="utf-8">
<meta name="viewport" content="width=device-width,initial-scale=1">
)";

constexpr std::string_view kStyle = R"(<style>
*{box-sizing:border-box}
body{margin:0;word-break:keep-all;overflow-wrap:anywhere;
font-family:"Noto Sans CJK SC","PingFang SC","Microsoft YaHei",sans-serif;
background:#7a0d0d;color:#fff4d6;font-size:17px;line-height:1.5}
main{max-width:480px;margin:0 auto;padding:16px;display:flex;flex-direction:column}
h1{order:0}.task{order:1}#me{order:2}#prize{order:2}#done{order:3}#f{order:5}section{order:6}
#count{order:7}
.closed section{order:4}
h1{font-size:24px;margin:8px 0 4px;text-align:center;color:#ffd75e}
.task{text-align:center;margin:0 0 14px}
form,section{background:#fffaf0;color:#3a1a00;border-radius:12px;padding:16px;margin-bottom:14px}
label{display:block;font-weight:bold;margin:6px 0 4px}
input{width:100%;font-size:20px;padding:10px;border:1px solid #c9a36a;border-radius:8px}
button{width:100%;margin-top:14px;font-size:20px;padding:12px;border:0;border-radius:8px;
background:#d62b1e;color:#fff;font-weight:bold}
button:disabled{background:#b48b86}
#answer{margin-top:12px;font-size:20px;font-weight:bold;text-align:center;min-height:30px}
#answer.ok{color:#127a2c}#answer.no{color:#b3150b}
#done{display:none;background:#fffaf0;color:#127a2c;font-size:20px;font-weight:bold;
text-align:center;border-radius:12px;padding:12px;margin-bottom:14px}
#me{display:none;background:#ffd75e;color:#7a0d0d;font-size:24px;font-weight:bold;
text-align:center;border-radius:12px;padding:16px;margin-bottom:14px}
#prize{display:none;background:#fffaf0;color:#3a1a00;border-radius:12px;padding:14px;
margin-bottom:14px;text-align:center}
#prize .item{font-size:20px;font-weight:bold;color:#b3150b}
#prize .code{font-size:30px;font-weight:bold;letter-spacing:2px;font-family:monospace}
#prize canvas{display:block;margin:6px auto}
#prize .state{font-size:18px;font-weight:bold;color:#8a6a4a}
#prize .done{font-size:26px;color:#127a2c}
#prize .p+.p{border-top:1px dashed #c9a36a;margin-top:10px;padding-top:10px}
h2{font-size:19px;margin:0 0 8px;color:#b3150b}
#lines div{padding:2px 0;font-family:monospace,"Noto Sans CJK SC"}
#lines div.c{font-weight:bold;margin-top:8px;font-family:inherit}
.muted{color:#8a6a4a;font-size:15px}
#count{text-align:center;font-size:15px;color:#ffe9b0}
#proof{order:5;display:none;background:#fffaf0;color:#3a1a00;border-radius:12px;padding:16px;
margin-bottom:14px}
#pv{font-size:22px;font-weight:bold;text-align:center;margin-bottom:8px}
#pv.ok,#pm.ok{color:#127a2c}#pv.no,#pm.no{color:#b3150b}
#proof .pl{font-weight:bold;margin:10px 0 2px}
#proof .hash{font-family:monospace;font-size:16px;overflow-wrap:anywhere;word-break:break-word}
#pm{font-weight:bold;min-height:24px;margin-top:4px}
#pt{width:100%;font-family:monospace;font-size:13px;padding:8px;border:1px solid #c9a36a;
border-radius:8px;overflow-wrap:anywhere;word-break:break-word}
.alt{order:8;text-align:center;margin:14px 0 4px}
.alt a{color:#ffd75e}
</style></head><body><main>
)";

constexpr std::string_view kWinnerBoxes = R"(<div id="me"></div>
<div id="prize"></div>
<div id="done" role="status"></div>
)";

constexpr std::string_view kNameField = R"(<label for="name">姓名</label>
<input id="name" name="name" maxlength="32" required>
)";

// The proof of the guest's line, checked by the page's script (kProofScript).
constexpr std::string_view kProofBox = R"(<div id="proof" role="status">
<div id="pv"></div>
<div class="pl">名单哈希树根值（本页算出）</div>
<div id="pr" class="hash"></div>
<div id="pw" class="muted"></div>
<label for="pc">对照公示单或大屏幕上的根值（输入前8位或全部）</label>
<input id="pc" autocomplete="off" autocapitalize="off" spellcheck="false">
<div id="pm"></div>
<div class="pl">你的一行</div>
<div id="pn"></div>
<div class="pl">用 tombolix-verify 核对（可复制）</div>
<textarea id="pt" readonly rows="6"></textarea>
<button type="button" id="pcopy">复制</button>
</div>
)";

// What both pages' scripts share: requests, answers, and the check of a line's proof. The
// hash tree's rules are those of ListTree.h; SHA-256 is the signing script's, so the phones'
// pages carry one copy of it. Follows "<script>" and SignScript().
constexpr std::string_view kProofScript = R"((function(){
var $=function(i){return document.getElementById(i);};
function post(path,body,done){
  var x=new XMLHttpRequest();
  x.open("POST",path,true);
  x.setRequestHeader("Content-Type","application/x-www-form-urlencoded");
  x.timeout=8000;
  x.onreadystatechange=function(){
    if(x.readyState!==4)return;
    var r=null;
    if(x.status===200){try{r=JSON.parse(x.responseText);}catch(e){}}
    done(r);
  };
  x.send(body);
}
function show(text,ok){var a=$("answer");a.textContent=text;a.className=ok?"ok":"no";}
var sha256=Signed.sha256;
function bytes(hex){var o=[];for(var i=0;i<hex.length;i+=2)o.push(parseInt(hex.substr(i,2),16));
  return o;}
function hexOf(b){var s="";for(var i=0;i<b.length;i++)s+=(b[i]<16?"0":"")+b[i].toString(16);
  return s;}
// The root that the line (its bytes in hex), its number and the proof lead to; "" when the
// proof is not well formed or does not name that number.
function rootOf(lineHex,n,proof){
  var m=/^([1-9][0-9]{0,15}):((?:[0-9a-f]{64})*)$/.exec(proof);
  if(!m||!/^(?:[0-9a-f]{2})*$/.test(lineHex))return "";
  var count=parseInt(m[1],10),hs=m[2],s=count,i=n-1,used=0,p,be=[],k;
  if(count>9007199254740991||!(n>=1&&n<=count&&Math.floor(n)===n))return "";
  var h=sha256([0].concat(bytes(lineHex)));
  for(;s>1;i=Math.floor(i/2),s=Math.floor((s+1)/2)){
    if(i%2===0&&i+1===s)continue;  // the last node of its level goes up as it is
    if(used+64>hs.length)return "";
    p=bytes(hs.substr(used,64));used+=64;
    h=sha256([1].concat(i%2?p.concat(h):h.concat(p)));
  }
  if(used!==hs.length)return "";
  for(k=7;k>=0;k--){be[k]=count%256;count=Math.floor(count/256);}
  return hexOf(sha256([2].concat(be,h)));
}
// The line as the bytes that were hashed read it, where the browser can read GBK.
function lineText(p){
  try{if(window.TextDecoder)
    return new TextDecoder("gb18030").decode(new Uint8Array(bytes(p.hex)));}catch(e){}
  return p.line;
}
var proofRoot="";
function compareRoot(){
  var t=$("pc").value.replace(/\s+/g,"").toLowerCase(),m=$("pm"),ok=false,say="";
  if(!t)say="";
  else if(!/^[0-9a-f]+$/.test(t))say="根值只有数字0-9和字母a-f";
  else if(t.length<8)say="请至少输入8位";
  else if(proofRoot&&proofRoot.indexOf(t)===0){ok=true;
    say=t.length===64?"与你输入的根值完全相同":"前"+t.length+"位与你输入的相同";}
  else say="与你输入的根值不同：这份证明不属于公示的名单";
  m.textContent=say;m.className=ok?"ok":"no";
}
// Shows a proof and the page's own check of it: the root it computes must be the root the
// server names, and the guest compares it with the notice and the screen.
function showProof(p){
  var root=rootOf(p.hex,p.n,p.proof),ok=root!==""&&root===p.root,text=lineText(p);
  proofRoot=ok?root:"";
  $("pv").textContent=ok?"你在名单中（第"+p.n+"行）":"证明核对失败：不能确认你在名单中";
  $("pv").className=ok?"ok":"no";
  // The first 16 digits stand out: the verifier's answer names the root by them.
  var pr=$("pr");
  pr.textContent=root?"":"（无法算出）";
  if(root){var b=document.createElement("b");b.textContent=root.substr(0,16);pr.appendChild(b);
    pr.appendChild(document.createTextNode(root.substr(16)));}
  $("pw").textContent=ok?"本页用你这一行和证明算出了根值，与签到服务给出的相同。请与公示单和大屏幕上的“名单哈希树根值”核对。":
    (root?"算出的根值与签到服务给出的 "+p.root+" 不同。":"证明的格式不对，或行号不在证明的范围内。");
  $("pn").textContent=text;
  $("pt").value="tombolix-verify --proof \""+text.replace(/"/g,"\\\"")+"\" "+p.n+" "+p.proof+" "+
    p.root;
  $("proof").style.display="block";
  compareRoot();
}
$("pc").oninput=compareRoot;
$("pcopy").onclick=function(){
  var t=$("pt"),done=false;
  t.focus();t.select();
  try{done=document.execCommand("copy");}catch(e){}
  $("pcopy").textContent=done?"已复制":"请长按上面的文字复制";
};
)";

constexpr std::string_view kTail = R"(<button id="go" type="submit">签到</button>
<div id="answer" role="status"></div>
</form>
)";

constexpr std::string_view kBoard =
    R"(<section id="board"><h2>中奖名单</h2><div id="lines"><div class="muted">尚未开奖</div></div></section>
<div id="count"></div>
<p class="alt"><a href="/list">不签到，只查自己在不在名单中</a></p>
</main>
)";

constexpr std::string_view kCheckinScript = R"(var token="",here=false,kept=null;
try{token=window.localStorage.getItem("checkin-token")||"";
  kept=JSON.parse(window.localStorage.getItem("checkin-proof")||"null");}catch(e){}
$("f").onsubmit=function(ev){
  ev.preventDefault();
  var body="id="+encodeURIComponent($("id").value);
  if($("name"))body+="&name="+encodeURIComponent($("name").value);
  $("go").disabled=true;
  show("正在签到…",true);
  post("/checkin",body,function(r){
    $("go").disabled=false;
    if(!r){show("网络不通，请再试一次",false);return;}
    if(r.kind==="ok"){
      show(r.text+(r.name?"，"+r.name:""),true);
      token=r.token;
      here=true;
      try{window.localStorage.setItem("checkin-token",token);
        window.localStorage.setItem("checkin-proof",JSON.stringify(r.proof||null));}catch(e){}
      if(r.proof)showProof(r.proof);
      poll();
    }else{show(r.text,false);}
  });
};
// A winner's prizes: each one's claim code and its QR for the desk, then 已领取.
var prizeBusy=false,prizeAt=0;
function prizes(){
  var now=new Date().getTime();
  if(prizeBusy||now-prizeAt<3000)return;
  prizeBusy=true;prizeAt=now;
  post("/prize","t="+encodeURIComponent(token),function(r){
    prizeBusy=false;
    if(!r||!r.prizes)return;
    var box=$("prize");
    while(box.firstChild)box.removeChild(box.firstChild);
    for(var i=0;i<r.prizes.length;i++){
      var p=r.prizes[i],d=document.createElement("div");d.className="p";
      var t=document.createElement("div");t.className="item";t.textContent=p.item;d.appendChild(t);
      if(p.claimed){
        var k=document.createElement("div");k.className="done";k.textContent=p.text;
        d.appendChild(k);
      }else{
        var c=document.createElement("div");c.className="code";c.textContent=p.code;
        d.appendChild(c);
        var g=document.createElement("canvas");
        if(p.qr&&g.getContext){
          // Whole pixels a module and the quiet zone of four: a camera reads it at once.
          var k=Math.max(3,Math.floor(220/(p.qs+8))),x=g.getContext("2d");
          g.width=g.height=(p.qs+8)*k;
          x.fillStyle="#fff";x.fillRect(0,0,g.width,g.height);x.fillStyle="#000";
          for(var j=0;j<p.qr.length;j++)
            if(p.qr.charAt(j)==="1")x.fillRect((j%p.qs+4)*k,(Math.floor(j/p.qs)+4)*k,k,k);
          d.appendChild(g);
        }
        var s=document.createElement("div");s.className="state";s.textContent=p.text;
        d.appendChild(s);
      }
      box.appendChild(d);
    }
    box.style.display=r.prizes.length?"block":"none";
  });
}
var busy=false;
function poll(){
  if(busy)return;
  busy=true;
  post("/winners","t="+encodeURIComponent(token),function(r){
    busy=false;
    if(!r)return;
    var box=$("lines");
    while(box.firstChild)box.removeChild(box.firstChild);
    if(!r.lines.length){var m=document.createElement("div");m.className="muted";
      m.textContent="尚未开奖";box.appendChild(m);}
    for(var i=0;i<r.lines.length;i++){
      var d=document.createElement("div");
      if(r.lines[i].c)d.className="c";
      d.textContent=r.lines[i].t;
      box.appendChild(d);
    }
    var me=$("me");
    me.textContent=r.me;
    me.style.display=r.me?"block":"none";
    if(r.me)prizes();
    // A page opened again after its check-in says so instead of an empty form.
    if(r["in"]&&!here){
      $("done").textContent="已签到："+r["in"];
      $("done").style.display="block";
      $("f").style.display="none";
      if(kept&&$("proof").style.display!=="block")showProof(kept);
    }
    // Once the draw closed check-in the winners come first, and an old refusal goes; the
    // answer that check-in has ended stays, whichever of the two came first.
    var main=document.getElementsByTagName("main")[0];
    if(!r.open&&main.className!=="closed"){
      main.className="closed";
      var a=$("answer");
      if(a.className==="no"&&a.textContent!=="签到已结束")show("",true);
    }else if(r.open&&main.className==="closed"){main.className="";}
    $("count").textContent="已签到 "+r.count+" / "+r.total+(r.open?"":" · 签到已结束");
  });
}
poll();
setInterval(poll,1000);
})();
</script></body></html>
)";

constexpr std::string_view kListTail = R"(<button id="go" type="submit">查询</button>
<div id="answer" role="status"></div>
</form>
)";

constexpr std::string_view kListFoot =
    R"(<p class="alt">名单本身不公开：这里只回答你自己的一行，并给出它在名单中的证明。<br>
<a href="/">返回签到页</a></p>
</main>
)";

constexpr std::string_view kListScript = R"($("f").onsubmit=function(ev){
  ev.preventDefault();
  var body="id="+encodeURIComponent($("id").value);
  if($("name"))body+="&name="+encodeURIComponent($("name").value);
  $("go").disabled=true;
  $("proof").style.display="none";
  show("正在查询…",true);
  post("/list",body,function(r){
    $("go").disabled=false;
    if(!r){show("网络不通，请再试一次",false);return;}
    if(r.proof){show("",true);showProof(r.proof);}else{show(r.text,false);}
  });
};
})();
</script></body></html>
)";

// The shared script first: kProofScript takes its SHA-256.
std::string ProofScript() { return "<script>\n" + net::SignScript() + std::string(kProofScript); }

std::string TaskLine(std::string_view taskNameGbk) {
  return "<p class=\"task\">" + HtmlEscape(text::GbkToUtf8(taskNameGbk)) + "</p>\n";
}

// The form and its fields: the id as the list calls it, and the name when the list has one.
std::string Fields(bool askName, std::string_view idTitleGbk, bool numericIds) {
  std::string out = "<form id=\"f\" autocomplete=\"off\">\n";
  const std::string idTitle = idTitleGbk.empty() ? "号码" : text::GbkToUtf8(idTitleGbk);
  out += "<label for=\"id\">" + HtmlEscape(idTitle) + "</label>\n";
  out += "<input id=\"id\" name=\"id\" maxlength=\"32\" inputmode=\"";
  out += numericIds ? "numeric" : "text";
  out += "\" required>\n";
  if (askName) out += kNameField;
  return out;
}

}  // namespace

std::string CheckinPage(std::string_view taskNameGbk, bool askName, std::string_view idTitleGbk,
                        bool numericIds) {
  std::string page(kHeadStart);
  page += "<title>扫码签到</title>\n";
  page += kStyle;
  page += "<h1>扫码签到</h1>\n";
  page += TaskLine(taskNameGbk);
  page += kWinnerBoxes;
  page += Fields(askName, idTitleGbk, numericIds);
  page += kTail;
  page += kProofBox;
  page += kBoard;
  page += ProofScript();
  page += kCheckinScript;
  return page;
}

std::string ListPage(std::string_view taskNameGbk, bool askName, std::string_view idTitleGbk,
                     bool numericIds) {
  std::string page(kHeadStart);
  page += "<title>名单查询</title>\n";
  page += kStyle;
  page += "<h1>名单查询</h1>\n";
  page += TaskLine(taskNameGbk);
  page += Fields(askName, idTitleGbk, numericIds);
  page += kListTail;
  page += kProofBox;
  page += kListFoot;
  page += ProofScript();
  page += kListScript;
  return page;
}

}  // namespace checkin
