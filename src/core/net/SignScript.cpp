#include "core/net/SignScript.h"

#include <string_view>

#include "core/net/PairKey.h"

namespace net {

namespace {

constexpr std::string_view kScript = R"(var Signed=(function(){
var K=[0x428a2f98,0x71374491,0xb5c0fbcf,0xe9b5dba5,0x3956c25b,0x59f111f1,0x923f82a4,
0xab1c5ed5,0xd807aa98,0x12835b01,0x243185be,0x550c7dc3,0x72be5d74,0x80deb1fe,0x9bdc06a7,
0xc19bf174,0xe49b69c1,0xefbe4786,0x0fc19dc6,0x240ca1cc,0x2de92c6f,0x4a7484aa,0x5cb0a9dc,
0x76f988da,0x983e5152,0xa831c66d,0xb00327c8,0xbf597fc7,0xc6e00bf3,0xd5a79147,0x06ca6351,
0x14292967,0x27b70a85,0x2e1b2138,0x4d2c6dfc,0x53380d13,0x650a7354,0x766a0abb,0x81c2c92e,
0x92722c85,0xa2bfe8a1,0xa81a664b,0xc24b8b70,0xc76c51a3,0xd192e819,0xd6990624,0xf40e3585,
0x106aa070,0x19a4c116,0x1e376c08,0x2748774c,0x34b0bcb5,0x391c0cb3,0x4ed8aa4a,0x5b9cca4f,
0x682e6ff3,0x748f82ee,0x78a5636f,0x84c87814,0x8cc70208,0x90befffa,0xa4506ceb,0xbef9a3f7,
0xc67178f2];
var IV=[0x6a09e667,0xbb67ae85,0x3c6ef372,0xa54ff53a,0x510e527f,0x9b05688c,0x1f83d9ab,
0x5be0cd19];
var ALPHA="@ALPHABET@",CHARS=@CHARS@,ROUNDS=@ROUNDS@,SALT="@SALT@";
function rot(x,n){return (x>>>n)|(x<<(32-n));}
// One block of 16 words (w, 64 long once expanded) into the state H (changed in place).
function compress(H,w){
  var t;
  for(t=16;t<64;t++)
    w[t]=(w[t-16]+(rot(w[t-15],7)^rot(w[t-15],18)^w[t-15]>>>3)+w[t-7]+
      (rot(w[t-2],17)^rot(w[t-2],19)^w[t-2]>>>10))|0;
  var A=H[0],B=H[1],C=H[2],D=H[3],E=H[4],F=H[5],G=H[6],J=H[7];
  for(t=0;t<64;t++){
    var t1=(J+(rot(E,6)^rot(E,11)^rot(E,25))+(E&F^~E&G)+K[t]+w[t])|0;
    var t2=((rot(A,2)^rot(A,13)^rot(A,22))+(A&B^A&C^B&C))|0;
    J=G;G=F;F=E;E=(D+t1)|0;D=C;C=B;B=A;A=(t1+t2)|0;
  }
  H[0]=H[0]+A|0;H[1]=H[1]+B|0;H[2]=H[2]+C|0;H[3]=H[3]+D|0;
  H[4]=H[4]+E|0;H[5]=H[5]+F|0;H[6]=H[6]+G|0;H[7]=H[7]+J|0;
}
// One 64-byte block of b from o into the state H.
function block(H,b,o){
  var w=[],t;
  for(t=0;t<16;t++)w[t]=b[o+4*t]<<24|b[o+4*t+1]<<16|b[o+4*t+2]<<8|b[o+4*t+3];
  compress(H,w);
}
// SHA-256 of m, going on from the state H0 after `pre` bytes (whole blocks) hashed.
function hash(H0,pre,m){
  var H=H0.slice(0),b=m.slice(0),bits=(pre+m.length)*8,hi=Math.floor(bits/4294967296),o,i;
  b.push(0x80);
  while(b.length%64!==56)b.push(0);
  b.push(hi>>>24&255,hi>>>16&255,hi>>>8&255,hi&255,bits>>>24&255,bits>>>16&255,bits>>>8&255,
    bits&255);
  for(o=0;o<b.length;o+=64)block(H,b,o);
  var out=[];
  for(i=0;i<8;i++)out.push(H[i]>>>24&255,H[i]>>>16&255,H[i]>>>8&255,H[i]&255);
  return out;
}
function sha256(m){return hash(IV,0,m);}
// The states after the key's inner and outer pads.
function pads(k){
  if(k.length>64)k=sha256(k);
  var ip=[],op=[],i,c;
  for(i=0;i<64;i++){c=i<k.length?k[i]:0;ip.push(c^0x36);op.push(c^0x5c);}
  var hi=IV.slice(0),ho=IV.slice(0);block(hi,ip,0);block(ho,op,0);
  return [hi,ho];
}
function mac(p,m){return hash(p[1],64,hash(p[0],64,m));}
function hmac(k,m){return mac(pads(k),m);}
// HMAC of a 32-byte message given as 8 words, as 8 words: PBKDF2's rounds, without bytes.
function mac32(p,u){
  var w=new Array(64),H=p[0].slice(0),i;
  for(i=0;i<8;i++)w[i]=u[i];
  w[8]=0x80000000;for(i=9;i<15;i++)w[i]=0;w[15]=768;
  compress(H,w);
  var O=p[1].slice(0);
  for(i=0;i<8;i++)w[i]=H[i];
  w[8]=0x80000000;for(i=9;i<15;i++)w[i]=0;w[15]=768;
  compress(O,w);
  return O;
}
function pbkdf2(pw,salt,rounds){
  var p=pads(pw),b=mac(p,salt.concat([0,0,0,1])),u=[],out,i,j;
  for(i=0;i<8;i++)u[i]=b[4*i]<<24|b[4*i+1]<<16|b[4*i+2]<<8|b[4*i+3];
  out=u.slice(0);
  for(i=1;i<rounds;i++){u=mac32(p,u);for(j=0;j<8;j++)out[j]^=u[j];}
  var r=[];
  for(i=0;i<8;i++)r.push(out[i]>>>24&255,out[i]>>>16&255,out[i]>>>8&255,out[i]&255);
  return r;
}
function bytes(s){s=unescape(encodeURIComponent(s));var o=[],i;
  for(i=0;i<s.length;i++)o.push(s.charCodeAt(i));return o;}
function hex(b){var s="",i;for(i=0;i<b.length;i++)s+=(b[i]<16?"0":"")+b[i].toString(16);
  return s;}
function unhex(h){var o=[],i;for(i=0;i<h.length;i+=2)o.push(parseInt(h.substr(i,2),16));
  return o;}
function codeOf(typed){
  var s=String(typed).replace(/[\s-]/g,"").toUpperCase(),i;
  if(s.length!==CHARS)return "";
  for(i=0;i<s.length;i++)if(ALPHA.indexOf(s.charAt(i))<0)return "";
  return s;
}
function keyOf(code){return hex(pbkdf2(bytes(code),bytes(SALT),ROUNDS));}
function keyFromHash(){
  var m=/^#k=([0-9a-f]{64})$/.exec(window.location.hash);
  if(!m)return "";
  try{window.history.replaceState(null,"",window.location.pathname+window.location.search);}
  catch(e){}
  return m[1];
}
function Session(role,store){
  var s={key:"",token:"",n:0},queue=[],busy=false;
  try{var o=JSON.parse(window.localStorage.getItem(store)||"null");
    if(o&&/^[0-9a-f]{64}$/.test(o.key)&&/^[0-9a-f]{32}$/.test(o.token)&&o.n>0){
      s.key=o.key;s.token=o.token;s.n=o.n;}}catch(e){}
  function keep(){try{window.localStorage.setItem(store,JSON.stringify(s));}catch(e){}}
  // The counter rises and is kept before the request leaves: a reloaded page goes on above.
  function body(path,payload){
    s.n+=1;keep();
    var sig=hex(hmac(unhex(s.key),bytes(role+"|POST|"+path+"|"+s.n+"|"+payload)));
    return "t="+s.token+"&n="+s.n+"&s="+sig+(payload?"&"+payload:"");
  }
  function send(path,payload,done,again){
    var x=new XMLHttpRequest(),b=body(path,payload),n=s.n;
    x.open("POST",path,true);
    x.setRequestHeader("Content-Type","application/x-www-form-urlencoded");
    x.timeout=8000;
    x.onreadystatechange=function(){
      if(x.readyState!==4)return;
      var d=null;
      try{d=JSON.parse(x.responseText);}catch(e){}
      if(x.status===409&&d&&d.kind==="replayed"&&!again){
        if(d.last>s.n){s.n=d.last;keep();}
        send(path,payload,done,true);return;
      }
      busy=false;
      done(x.status,d,n);
      next();
    };
    x.send(b);
  }
  function next(){
    if(busy||!queue.length)return;
    var q=queue.shift();busy=true;send(q[0],q[1],q[2],false);
  }
  function post(path,payload,done){queue.push([path,payload,done]);next();}
  return {
    paired:function(){return !!(s.key&&s.token);},
    forget:function(){s.key="";s.token="";s.n=0;keep();},
    post:post,
    pair:function(path,key,done){
      s.key=key;s.token="";s.n=0;
      post(path,"",function(st,d,n){
        if(d&&d.token){s.token=d.token;s.n=Math.max(s.n,n);}else{s.key="";s.n=0;}
        keep();done(st,d,n);
      });
    }
  };
}
return {codeOf:codeOf,keyOf:keyOf,keyFromHash:keyFromHash,Session:Session,sha256:sha256,
  hmacHex:function(k,m){return hex(hmac(unhex(k),bytes(m)));}};
})();
)";

void Put(std::string& s, std::string_view mark, std::string_view value) {
  const size_t at = s.find(mark);
  if (at != std::string::npos) s.replace(at, mark.size(), value);
}

}  // namespace

std::string SignScript() {
  std::string s(kScript);
  Put(s, "@ALPHABET@", kPairCodeAlphabet);
  Put(s, "@CHARS@", std::to_string(kPairCodeChars));
  Put(s, "@ROUNDS@", std::to_string(kPairKeyRounds));
  Put(s, "@SALT@", kPairKeySalt);
  return s;
}

}  // namespace net
