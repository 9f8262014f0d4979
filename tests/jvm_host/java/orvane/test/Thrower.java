package orvane.test;

public class Thrower {
    public static void main(String[] args) {
        throw new IllegalStateException("thrown by main");
    }
}
